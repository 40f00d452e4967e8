#include "fileformat/io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>

#include "fileformat/orientation.h"

namespace rastcore {
namespace {

constexpr size_t kSniffBytes = 64;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int16_t openError() {
  return errno == ENOENT || errno == ENOTDIR ? CV_ERR_FILE_NOT_FOUND : CV_ERR_FILE_READ;
}

// Picks the codec by content; formats without a signature are taken by extension. The codec
// the extension names wins when the content agrees with it (camera raw files carry the TIFF
// signature).
const Codec* chooseCodec(const uint8_t* head, size_t n, const std::string& ext) {
  const Codec* byExt = codecForExtension(ext);
  if (byExt && byExt->sniff && byExt->sniff(head, n)) return byExt;
  if (const Codec* c = sniffCodec(head, n)) return c;
  return byExt && !byExt->sniff ? byExt : nullptr;
}

int16_t decodeWith(const Codec& codec, const LoadRequest& request, Decoded& out) {
  if (!codec.decode) return CV_ERR_UNKNOWN_FORMAT;
  int16_t rc;
  try {
    rc = codec.decode(request, out);
  } catch (const std::bad_alloc&) {
    rc = CV_ERR_OUT_OF_MEMORY;
  }
  if (rc == CV_OK && out.image.empty()) rc = CV_ERR_DAMAGED;
  if (rc == CV_OK && out.orientation != 1) {
    rc = applyOrientation(out.image, out.orientation);
    out.orientation = 1;
  }
  if (rc != CV_OK) out.image = Image{};
  return rc;
}

int16_t readAll(FILE* f, size_t size, std::vector<uint8_t>& bytes) {
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
  const size_t got = std::fread(bytes.data(), 1, size, f);
  if (got != size) return std::ferror(f) ? CV_ERR_FILE_READ : CV_ERR_TRUNCATED;
  return CV_OK;
}

}  // namespace

std::string lowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

int16_t loadPictureMemory(const uint8_t* data, size_t size, const LoadOptions& options,
                          Decoded& out) {
  out = Decoded{};
  if (!data || size == 0) return CV_ERR_TRUNCATED;
  const Codec* codec = chooseCodec(data, size, "");
  if (!codec) return CV_ERR_UNKNOWN_FORMAT;
  LoadRequest request{data,
                      size,
                      nullptr,
                      options.page,
                      options.password,
                      options.progress,
                      options.scaleDenominator};
  return decodeWith(*codec, request, out);
}

int16_t loadPictureFile(const std::string& path, const LoadOptions& options, Decoded& out,
                        int64_t& fileSize) {
  out = Decoded{};
  fileSize = 0;
  if (path.empty()) return CV_ERR_NO_FILENAME;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return openError();
  if (!S_ISREG(st.st_mode)) return CV_ERR_FILE_READ;
  fileSize = st.st_size;
  if (st.st_size == 0) return CV_ERR_TRUNCATED;
  if (st.st_size > kMaxFileBytes) return CV_ERR_TOO_LARGE;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return openError();
  uint8_t head[kSniffBytes];
  const size_t headSize = std::fread(head, 1, sizeof head, file.get());
  const Codec* codec = chooseCodec(head, headSize, lowerExtension(path));
  if (!codec) return CV_ERR_UNKNOWN_FORMAT;
  LoadRequest request{head,
                      headSize,
                      nullptr,
                      options.page,
                      options.password,
                      options.progress,
                      options.scaleDenominator};
  std::vector<uint8_t> bytes;
  if (codec->streams) {
    std::rewind(file.get());
    request.file = file.get();
  } else {
    std::rewind(file.get());
    const int16_t rc = readAll(file.get(), size_t(st.st_size), bytes);
    if (rc != CV_OK) return rc;
    request.data = bytes.data();
    request.size = bytes.size();
  }
  return decodeWith(*codec, request, out);
}

namespace {

using PageCounter = int16_t (*)(const uint8_t*, size_t, int16_t&);

// The formats that hold more than one page; every other file is one page.
PageCounter pageCounter(int16_t format) {
  switch (format) {
    case FT_TIF:
      return countTiffPages;
    case FT_GIF:
      return countGifPages;
    case FT_WEBP:
      return countWebpPages;
    case FT_DCX:
      return countDcxPages;
    case FT_ICO:
      return countIcoPages;
    default:
      return nullptr;
  }
}

}  // namespace

int16_t countPages(const std::string& path, int16_t& pages) {
  pages = 0;
  if (path.empty()) return CV_ERR_NO_FILENAME;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return openError();
  struct stat st {};
  if (::fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return CV_ERR_FILE_READ;
  if (st.st_size == 0) return CV_ERR_TRUNCATED;
  if (st.st_size > kMaxFileBytes) return CV_ERR_TOO_LARGE;
  uint8_t head[kSniffBytes];
  const size_t headSize = std::fread(head, 1, sizeof head, file.get());
  const Codec* codec = chooseCodec(head, headSize, lowerExtension(path));
  if (!codec) return CV_ERR_UNKNOWN_FORMAT;
  const auto counter = pageCounter(codec->format);
  if (!counter) {
    pages = 1;
    return CV_OK;
  }
  std::vector<uint8_t> bytes;
  std::rewind(file.get());
  const int16_t rc = readAll(file.get(), size_t(st.st_size), bytes);
  if (rc != CV_OK) return rc;
  return counter(bytes.data(), bytes.size(), pages);
}

namespace {

// Writes a file atomically: produce() gives the content through a sink that writes to a
// temporary file beside the target, which is synced and renamed into place only when all of
// it was written; on any failure the target stays as it was.
int16_t writeAtomically(const std::string& path,
                        const std::function<int16_t(const ByteSink&)>& produce) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return CV_ERR_NO_FILENAME;
  std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + name + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return CV_ERR_FILE_WRITE;
  // Keep the replaced file's permissions; a new file gets the usual 0666 less the umask.
  struct stat st {};
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // Every 8 MiB written, the disk is asked to start on them (without waiting), so the final
  // sync of a large file finds most of it already on its way.
  off_t written = 0, flushed = 0;
  const ByteSink sink = [fd, &written, &flushed](const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += size_t(n);
    }
    written += off_t(size);
#ifdef SYNC_FILE_RANGE_WRITE
    constexpr off_t kStep = off_t(8) << 20;
    if (written - flushed >= kStep) {
      ::sync_file_range(fd, flushed, written - flushed, SYNC_FILE_RANGE_WRITE);
      flushed = written;
    }
#endif
    return true;
  };
  int16_t rc;
  try {
    rc = produce(sink);
  } catch (const std::bad_alloc&) {
    rc = CV_ERR_OUT_OF_MEMORY;
  }
  bool ok = rc == CV_OK && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return rc != CV_OK ? rc : CV_ERR_FILE_WRITE;
  }
  return CV_OK;
}

// The encoder options ask for: the type, else the extension of the file name.
int16_t chooseEncoder(const SaveOptions& options, const Codec*& codec) {
  codec = nullptr;
  if (options.fileType == FT_DEFAULT) {
    codec = codecForExtension(lowerExtension(options.fileName));
    if (!codec) return options.fileName.empty() ? CV_ERR_NO_FILENAME : CV_ERR_SAVE_FORMAT;
  } else {
    codec = codecForFormat(options.fileType);
    if (!codec)
      return options.fileType == FT_LJP || options.fileType == FT_DCX ? CV_ERR_SAVE_FORMAT
                                                                      : CV_ERR_UNSUPPORTED_OPTION;
  }
  return codec->encode ? CV_OK : CV_ERR_SAVE_FORMAT;
}

}  // namespace

int16_t writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  return writeAtomically(path, [&bytes](const ByteSink& sink) -> int16_t {
    return sink(bytes.data(), bytes.size()) ? CV_OK : CV_ERR_FILE_WRITE;
  });
}

int16_t encodePicture(const Image& image, const SaveOptions& options, Progress* progress,
                      std::vector<uint8_t>& bytes) {
  if (image.empty()) return CV_ERR_NO_IMAGE;
  const Codec* codec = nullptr;
  const int16_t chosen = chooseEncoder(options, codec);
  if (chosen != CV_OK) return chosen;
  std::vector<uint8_t> existing;
  if (codec->format == FT_TIF && options.multiPage && !options.toBuffer) {
    if (FilePtr f{std::fopen(options.fileName.c_str(), "rb")}) {
      struct stat st {};
      if (::fstat(fileno(f.get()), &st) == 0 && st.st_size > 0 && st.st_size <= kMaxFileBytes) {
        const int16_t rc = readAll(f.get(), size_t(st.st_size), existing);
        if (rc != CV_OK) return rc;
      }
    }
  }
  EncodeRequest request{&image, codec->format, &options, existing.empty() ? nullptr : &existing,
                        progress};
  try {
    return codec->encode(request, bytes);
  } catch (const std::bad_alloc&) {
    return CV_ERR_OUT_OF_MEMORY;
  }
}

int16_t savePicture(const Image& image, const SaveOptions& options, Progress* progress) {
  if (image.empty()) return CV_ERR_NO_IMAGE;
  if (options.fileName.empty()) return CV_ERR_NO_FILENAME;
  const Codec* codec = nullptr;
  if (chooseEncoder(options, codec) == CV_OK && codec->encode == encodePnm) {
    // Portable bitmaps go to the file in blocks of rows as they are encoded.
    EncodeRequest request{&image, codec->format, &options, nullptr, progress};
    return writeAtomically(options.fileName,
                           [&request](const ByteSink& sink) { return encodePnmTo(request, sink); });
  }
  std::vector<uint8_t> bytes;
  const int16_t rc = encodePicture(image, options, progress, bytes);
  if (rc != CV_OK) return rc;
  return writeFileAtomically(options.fileName, bytes);
}

}  // namespace rastcore
