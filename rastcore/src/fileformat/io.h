// Loading pictures from files or memory and saving them, whatever the format.
#pragma once

#include <cstdint>
#include <string>

#include "fileformat/codec.h"

namespace rastcore {

// Files larger than this are refused before they are read (IFileSize is 32-bit).
constexpr int64_t kMaxFileBytes = INT32_MAX;

struct LoadOptions {
  int page = 0;  // from 0
  std::string password;
  Progress* progress = nullptr;
  int scaleDenominator = 1;
};

// Loads a picture file; on failure `out.image` is empty. fileSize receives the file's size.
int16_t loadPictureFile(const std::string& path, const LoadOptions& options, Decoded& out,
                        int64_t& fileSize);
int16_t loadPictureMemory(const uint8_t* data, size_t size, const LoadOptions& options,
                          Decoded& out);

// Counts the pages of a picture file (1 for single-picture formats).
int16_t countPages(const std::string& path, int16_t& pages);

// The lower-case extension of a path's last component, without the dot ("" if none).
std::string lowerExtension(const std::string& path);

// Encodes the picture in the format chosen by options (type, else the extension) and writes
// it to options.fileName through a temporary file beside it, renamed into place.
int16_t savePicture(const Image& image, const SaveOptions& options, Progress* progress);

// Encodes the picture as savePicture does, into memory.
int16_t encodePicture(const Image& image, const SaveOptions& options, Progress* progress,
                      std::vector<uint8_t>& bytes);

// Writes bytes to `path` atomically (temporary file, flush, rename).
int16_t writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace rastcore
