// Pictures decoded ahead of time on a background thread, so that paging to the next or the
// previous picture of a set finds it ready. The thread works on its own copies of paths and
// options and never touches an instance; a load takes a picture only when its file is still
// the one that was decoded (same device, inode, size and times).
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fileformat/io.h"

namespace rastcore {

// What identifies a file's contents without reading it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t size = -1;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// False when the path names no regular file that can be looked up.
bool stampOf(const std::string& path, FileStamp& stamp);

// The load options a decode depends on (progress is the caller's).
struct DecodeOptions {
  int page = 0;
  std::string password;
  int scaleDenominator = 1;
  bool operator==(const DecodeOptions&) const = default;
};
DecodeOptions decodeOptionsOf(const LoadOptions& options);

// A picture read ahead: the decode's outcome as the load would have had it.
struct ReadAheadPicture {
  Decoded decoded;
  int64_t fileSize = 0;
  std::vector<int> progress;  // the percentages the decode reported, in order
};

class ReadAhead {
 public:
  static constexpr int64_t kDefaultLimitBytes = int64_t(512) << 20;

  ReadAhead();
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The pictures wanted next, most wanted first; pictures held that are not among them are
  // dropped. An empty list stops reading ahead and frees everything held.
  void want(std::vector<std::string> paths, const DecodeOptions& options);
  // The most picture memory held at once; pictures beyond it are not kept (0: none).
  void setLimit(int64_t bytes);
  int64_t limit() const;
  // Pictures and bytes held now, and the most bytes held since the cache was made.
  int heldCount() const;
  int64_t heldBytes() const;
  int64_t peakBytes() const;

  // True when `path` is held or being decoded now.
  bool holdsOrDecodes(const std::string& path) const;

  // Takes the picture of `path` when it was decoded with `options` from the file as it is
  // now; waits for a decode of that picture already under way, or about to start (the thread
  // is free and it is the next one wanted). False: load it as usual.
  bool take(const std::string& path, const DecodeOptions& options, ReadAheadPicture& out);

 private:
  struct Held {
    std::string path;
    FileStamp stamp;
    ReadAheadPicture picture;
    int64_t bytes = 0;
  };

  void run();
  void startThread();
  // The first wanted path neither held nor tried, or -1; its rank in the wanted list.
  int nextToDecode() const;
  bool decodesNext(const std::string& path) const;
  int rankOf(const std::string& path) const;
  int64_t bytesAbove(int rank) const;  // held by pictures ranked before `rank`
  void admit(Held held, int rank);
  void dropUnwanted();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  bool stop_ = false;
  std::vector<std::string> wanted_;
  DecodeOptions options_;
  std::vector<Held> held_;
  std::vector<std::string> tried_;  // failed, changed while decoded, or beyond the limit
  // Decoded but without room beside the more wanted pictures; tried again when room is made.
  bool full_ = false;
  std::string busyPath_;  // the picture being decoded now
  DecodeOptions busyOptions_;
  int64_t limit_ = kDefaultLimitBytes;
  int64_t heldBytes_ = 0, peakBytes_ = 0;
};

}  // namespace rastcore
