// Bounds-checked reading and plain writing of little- and big-endian fields for the engine's
// own codecs. A read past the end yields zeros and clears ok(), so a decoder checks once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace rastcore {

// Copies a text into a caller's buffer of `size` bytes, cut short and always terminated, and
// returns its full length so the caller can ask again with room for all of it.
inline int32_t copyText(const std::string& value, char* buf, int32_t size) {
  if (buf && size > 0) {
    const size_t n = std::min(value.size(), size_t(size - 1));
    std::memcpy(buf, value.data(), n);
    buf[n] = '\0';
  }
  return int32_t(value.size());
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t size() const { return size_; }
  size_t left() const { return size_ - pos_; }
  const uint8_t* data() const { return data_; }

  bool seek(size_t pos) {
    if (pos > size_) return ok_ = false;
    pos_ = pos;
    return true;
  }
  bool skip(size_t n) { return n <= left() ? (pos_ += n, true) : (pos_ = size_, ok_ = false); }
  // A pointer to the next n bytes, or null (and !ok()) when fewer are left.
  const uint8_t* take(size_t n) {
    if (n > left()) {
      pos_ = size_;
      ok_ = false;
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  uint8_t u8() {
    const uint8_t* p = take(1);
    return p ? p[0] : 0;
  }
  uint16_t u16le() {
    const uint8_t* p = take(2);
    return p ? uint16_t(p[0] | p[1] << 8) : 0;
  }
  uint32_t u32le() {
    const uint8_t* p = take(4);
    return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
             : 0;
  }
  uint16_t u16be() {
    const uint8_t* p = take(2);
    return p ? uint16_t(p[0] << 8 | p[1]) : 0;
  }
  uint32_t u32be() {
    const uint8_t* p = take(4);
    return p ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3])
             : 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void u8(uint32_t v) { out_.push_back(uint8_t(v)); }
  void u16le(uint32_t v) { u8(v), u8(v >> 8); }
  void u32le(uint32_t v) { u16le(v), u16le(v >> 16); }
  void u16be(uint32_t v) { u8(v >> 8), u8(v); }
  void u32be(uint32_t v) { u16be(v >> 16), u16be(v); }
  void bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void fill(uint8_t v, size_t n) { out_.insert(out_.end(), n, v); }
  size_t size() const { return out_.size(); }
  // Patches a 32-bit little-endian value written earlier.
  void patch32le(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + size_t(i)] = uint8_t(v >> (8 * i));
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace rastcore
