// Build-time tool: makes the empty catalogue from its schema.
//   make_catalogue SCHEMA.sql OUTPUT
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_catalogue SCHEMA OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream sql;
  sql << in.rdbuf();
  const std::string out = argv[2];
  const std::string tmp = out + ".tmp";
  std::remove(tmp.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(tmp.c_str(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "cannot create %s\n", tmp.c_str());
    return 1;
  }
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, &err);
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    std::fprintf(stderr, "schema failed: %s\n", err ? err : "?");
    return 1;
  }
  // A single self-contained file: leave no -wal or -shm beside it.
  std::remove((tmp + "-wal").c_str());
  std::remove((tmp + "-shm").c_str());
  return std::rename(tmp.c_str(), out.c_str()) == 0 ? 0 : 1;
}
