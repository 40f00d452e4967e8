#include "cataloguing/treewalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QStringView>
#include <algorithm>
#include <string>
#include <vector>

namespace glim::cataloguing {

namespace {

constexpr qsizetype kReportBatch = 4096;

std::function<void(const QString&)>& folderGate() {
  static std::function<void(const QString&)> gate;
  return gate;
}

// Hands batches to the caller at a pace a window can follow.
class Reporter {
 public:
  Reporter(const WalkReport& report, int everyMs) : report_(report), everyMs_(everyMs) {
    clock_.start();
  }

  void enterFolder(const std::string& folder) { folder_ = &folder; }
  void add(const std::string& path) { found_.append(QFile::decodeName(path.c_str())); }
  void maybeReport(const WalkResult& so_far) {
    if (found_.size() >= kReportBatch || clock_.elapsed() >= everyMs_) flush(so_far);
  }
  void flush(const WalkResult& so_far) {
    if (!report_) {
      found_.clear();
      return;
    }
    WalkProgress progress;
    if (folder_) progress.folder = QFile::decodeName(folder_->c_str());
    progress.found = std::move(found_);
    progress.folders = so_far.folders;
    progress.files = so_far.files;
    progress.matches = so_far.matches;
    found_ = QStringList();
    clock_.restart();
    report_(progress);
  }

 private:
  const WalkReport& report_;
  const int everyMs_;
  QElapsedTimer clock_;
  const std::string* folder_ = nullptr;
  QStringList found_;
};

bool isFolder(int dirFd, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN) return false;
  struct stat st;  // file systems that leave the type out of the listing
  return fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct FolderListing {
  std::vector<std::string> subFolders;
  std::vector<std::string> matches;
};

std::vector<std::string> splitPattern(const QString& pattern) {
  std::vector<std::string> parts;
  for (const QString& p : pattern.split(u';', Qt::SkipEmptyParts))
    parts.push_back(QFile::encodeName(p).toStdString());
  return parts;
}

class Walker {
 public:
  Walker(const WalkRequest& request, const std::atomic_bool& stop, const WalkReport& report)
      : request_(request),
        stop_(stop),
        reporter_(report, request.reportEveryMs),
        patterns_(splitPattern(request.pattern)) {}

  WalkResult run() {
    for (const QString& root : request_.roots) {
      if (stopped()) break;
      walkRoot(QFile::encodeName(withSeparator(root)).toStdString());
    }
    result_.stopped = stopped();
    reporter_.flush(result_);
    return result_;
  }

 private:
  bool stopped() const { return stop_.load(std::memory_order_relaxed); }

  // Depth first with an explicit stack, so a deep tree cannot exhaust the thread's stack.
  void walkRoot(const std::string& root) {
    struct stat st;
    if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    rootDevice_ = st.st_dev;
    std::vector<std::string> pending{root};
    while (!pending.empty() && !stopped()) {
      std::string folder = std::move(pending.back());
      pending.pop_back();
      FolderListing listing = listFolder(folder);
      for (auto it = listing.subFolders.rbegin(); it != listing.subFolders.rend(); ++it)
        pending.push_back(folder + *it + '/');
    }
  }

  FolderListing listFolder(const std::string& folder) {
    FolderListing listing;
    current_ = folder;
    reporter_.enterFolder(current_);
    if (gate_) gate_(QFile::decodeName(QByteArray::fromStdString(folder)));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return listing;  // unreadable folders are skipped silently
    struct stat st;
    if (request_.oneFileSystem && (fstat(fd, &st) != 0 || st.st_dev != rootDevice_)) {
      close(fd);
      return listing;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
      close(fd);
      return listing;
    }
    readEntries(dir, listing);
    closedir(dir);
    std::sort(listing.subFolders.begin(), listing.subFolders.end());
    std::sort(listing.matches.begin(), listing.matches.end());
    for (const std::string& name : listing.matches) reporter_.add(folder + name);
    result_.matches += qint64(listing.matches.size());
    reporter_.maybeReport(result_);
    return listing;
  }

  void readEntries(DIR* dir, FolderListing& listing) {
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
      if (stopped()) return;
      const char* name = entry->d_name;
      if (isDotOrDotDot(name)) continue;
      if (isFolder(fd, entry)) {
        if (name[0] == '.') continue;  // hidden folders are neither counted nor searched
        ++result_.folders;
        listing.subFolders.emplace_back(name);
        continue;
      }
      if (!request_.findMode) {
        ++result_.files;
        continue;
      }
      if (matches(name)) listing.matches.emplace_back(name);
    }
  }

  // The pattern may list several, separated by semicolons ("*.heic;*.heif").
  bool matches(const char* name) const {
    for (const std::string& p : patterns_)
      if (fnmatch(p.c_str(), name, FNM_CASEFOLD) == 0) return true;
    return false;
  }

  const WalkRequest& request_;
  const std::atomic_bool& stop_;
  Reporter reporter_;
  std::vector<std::string> patterns_;
  std::string current_;
  dev_t rootDevice_ = 0;
  WalkResult result_;
  const std::function<void(const QString&)> gate_ = folderGate();
};

}  // namespace

void setFolderGate(std::function<void(const QString& folder)> gate) {
  folderGate() = std::move(gate);
}

WalkResult walkTree(const WalkRequest& request, const std::atomic_bool& stop,
                    const WalkReport& report) {
  return Walker(request, stop, report).run();
}

}  // namespace glim::cataloguing
