// ZSoft DCX: a table of up to 1023 offsets, one complete PCX file at each; every PCX file is
// a page.
#include <vector>

#include "fileformat/bytes.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

constexpr uint32_t kDcxMagic = 0x3ADE68B1;
constexpr size_t kMaxPages = 1023;

// The offsets of the pages, in page order; only offsets inside the file count.
int16_t readTable(const uint8_t* data, size_t size, std::vector<uint32_t>& offsets) {
  ByteReader in(data, size);
  if (in.u32le() != kDcxMagic) return CV_ERR_DAMAGED;
  while (offsets.size() < kMaxPages) {
    const uint32_t offset = in.u32le();
    if (!in.ok()) return CV_ERR_TRUNCATED;
    if (offset == 0) break;
    if (offset >= size) return CV_ERR_TRUNCATED;
    offsets.push_back(offset);
  }
  return offsets.empty() ? CV_ERR_DAMAGED : CV_OK;
}

// A page ends where the next page in the file starts, or at the end of the file.
size_t pageEnd(const std::vector<uint32_t>& offsets, uint32_t start, size_t size) {
  size_t end = size;
  for (uint32_t o : offsets)
    if (o > start && o < end) end = o;
  return end;
}

}  // namespace

bool sniffDcx(const uint8_t* d, size_t n) {
  return n >= 4 && (uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 |
                    uint32_t(d[3]) << 24) == kDcxMagic;
}

int16_t countDcxPages(const uint8_t* data, size_t size, int16_t& pages) {
  std::vector<uint32_t> offsets;
  const int16_t rc = readTable(data, size, offsets);
  pages = int16_t(offsets.size());
  return rc;
}

int16_t decodeDcx(const LoadRequest& request, Decoded& out) {
  out.format = FT_DCX;
  std::vector<uint32_t> offsets;
  const int16_t rc = readTable(request.data, request.size, offsets);
  if (rc != CV_OK) return rc;
  if (request.page < 0 || size_t(request.page) >= offsets.size()) return CV_ERR_NO_PAGE;
  const uint32_t start = offsets[size_t(request.page)];
  LoadRequest page = request;
  page.data = request.data + start;
  page.size = pageEnd(offsets, start, request.size) - start;
  page.page = 0;
  const int16_t result = decodePcx(page, out);
  out.format = FT_DCX;
  out.numPages = int16_t(offsets.size());
  return result;
}

}  // namespace rastcore
