// ePIC, the engine's own picture container.
//
// Layout (little-endian):
//   0  "ePIC"            magic
//   4  u8 version (1)    u8 flags (bit 0: password protected)
//   6  u8 payload kind   1 = JPEG, 2 = PNG (indexed pictures and pictures with alpha)
//   7  u8 reserved (0)
//   8  u32 width, u32 height, u16 bits per pixel of the picture saved
//  18  when protected: 16-byte salt, u32 Argon2id operations, u32 Argon2id memory (bytes),
//      24-byte nonce
//  ..  u32 payload length, payload
// A protected payload is the picture encrypted with XChaCha20-Poly1305 under a key derived by
// Argon2id from the first 8 characters of the password and the salt; every header byte before
// the payload length is authenticated with it, so a changed byte anywhere makes the file
// refuse to open (as a wrong password does, CV_ERR_PASSWORD).
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include <sodium.h>

#include "fileformat/bytes.h"
#include "fileformat/checked.h"
#include "fileformat/codec.h"

namespace rastcore {
namespace {

constexpr uint8_t kVersion = 1, kProtected = 1, kJpeg = 1, kPng = 2;
constexpr size_t kFixedHeader = 18;
constexpr size_t kSalt = crypto_pwhash_SALTBYTES;
constexpr size_t kNonce = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t kKey = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
// Costs a file may ask for; higher values in a file are refused so that a hostile file cannot
// make a load take minutes or gigabytes.
constexpr uint32_t kMaxOps = 16, kMaxMemory = 256u << 20;

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

// The first 8 characters (not bytes) of a UTF-8 password.
std::string passwordKeyText(const std::string& password) {
  size_t chars = 0, i = 0;
  while (i < password.size() && chars < 8) {
    ++i;
    while (i < password.size() && (uint8_t(password[i]) & 0xC0) == 0x80) ++i;
    ++chars;
  }
  return password.substr(0, i);
}

bool deriveKey(const std::string& password, const uint8_t* salt, uint32_t ops, uint32_t memory,
               uint8_t* key) {
  const std::string text = passwordKeyText(password);
  return crypto_pwhash(key, kKey, text.data(), text.size(), salt, ops, memory,
                       crypto_pwhash_ALG_ARGON2ID13) == 0;
}

bool usesPng(const Image& img) {
  return img.bpp <= 8 || hasTransparency(img);
}

}  // namespace

bool sniffEpic(const uint8_t* d, size_t n) {
  return n >= 8 && std::memcmp(d, "ePIC", 4) == 0;
}

int16_t decodeEpic(const LoadRequest& request, Decoded& out) {
  out.format = FT_EPIC;
  ByteReader in(request.data, request.size);
  in.skip(4);
  const uint8_t version = in.u8(), flags = in.u8(), kind = in.u8();
  in.u8();
  const uint32_t width = in.u32le(), height = in.u32le();
  const uint16_t bpp = in.u16le();
  if (!in.ok()) return CV_ERR_TRUNCATED;
  if (version != kVersion || (kind != kJpeg && kind != kPng) || (flags & ~kProtected))
    return CV_ERR_UNSUPPORTED_FEATURE;
  if (!sizeAllowed(width, height)) return CV_ERR_TOO_LARGE;
  const bool isProtected = flags & kProtected;
  const uint8_t *salt = nullptr, *nonce = nullptr;
  uint32_t ops = 0, memory = 0;
  if (isProtected) {
    salt = in.take(kSalt);
    ops = in.u32le(), memory = in.u32le();
    nonce = in.take(kNonce);
  }
  const size_t headerEnd = in.pos();
  const uint32_t length = in.u32le();
  const uint8_t* payload = in.take(length);
  if (!in.ok() || !payload) return CV_ERR_TRUNCATED;
  std::vector<uint8_t> plain;
  if (isProtected) {
    if (request.password.empty()) return CV_ERR_PASSWORD;
    if (ops < crypto_pwhash_OPSLIMIT_MIN || ops > kMaxOps || memory < crypto_pwhash_MEMLIMIT_MIN ||
        memory > kMaxMemory || length < crypto_aead_xchacha20poly1305_ietf_ABYTES)
      return CV_ERR_DAMAGED;
    if (!sodiumReady()) return CV_ERR_INTERNAL;
    uint8_t key[kKey];
    if (!deriveKey(request.password, salt, ops, memory, key)) return CV_ERR_OUT_OF_MEMORY;
    plain.resize(length - crypto_aead_xchacha20poly1305_ietf_ABYTES);
    unsigned long long plainLength = 0;
    const int rc = crypto_aead_xchacha20poly1305_ietf_decrypt(
        plain.data(), &plainLength, nullptr, payload, length, request.data, headerEnd, nonce, key);
    sodium_memzero(key, sizeof key);
    if (rc != 0) return CV_ERR_PASSWORD;
    plain.resize(size_t(plainLength));
    payload = plain.data();
  }
  LoadRequest inner{payload,          isProtected ? plain.size() : length,         nullptr, 0, "",
                    request.progress, kind == kJpeg ? request.scaleDenominator : 1};
  Decoded picture;
  const int16_t rc = kind == kJpeg ? decodeJpeg(inner, picture) : decodePng(inner, picture);
  if (rc != CV_OK) return rc;
  const uint32_t d = uint32_t(inner.scaleDenominator > 1 ? inner.scaleDenominator : 1);
  if (uint32_t(picture.image.width) != (width + d - 1) / d ||
      uint32_t(picture.image.height) != (height + d - 1) / d)
    return CV_ERR_DAMAGED;
  out.image = std::move(picture.image);
  out.resUnits = picture.resUnits;
  out.fileBpp = int16_t(bpp);
  return CV_OK;
}

int16_t encodeEpic(const EncodeRequest& request, std::vector<uint8_t>& out) {
  const Image& img = *request.image;
  const SaveOptions& o = *request.options;
  const bool png = usesPng(img);
  std::vector<uint8_t> payload;
  EncodeRequest inner = request;
  inner.format = png ? FT_PNG : FT_JPG;
  int16_t rc = png ? encodePng(inner, payload) : encodeJpegImage(img, o, request.progress, payload);
  if (rc != CV_OK) return rc;
  const bool isProtected = !o.password.empty();
  out.clear();
  ByteWriter w(out);
  w.bytes("ePIC", 4);
  w.u8(kVersion), w.u8(isProtected ? kProtected : 0), w.u8(png ? kPng : kJpeg), w.u8(0);
  w.u32le(uint32_t(img.width)), w.u32le(uint32_t(img.height)), w.u16le(uint32_t(img.bpp));
  if (!isProtected) {
    w.u32le(uint32_t(payload.size()));
    w.bytes(payload.data(), payload.size());
    return CV_OK;
  }
  if (!sodiumReady()) return CV_ERR_INTERNAL;
  uint8_t salt[kSalt], nonce[kNonce], key[kKey];
  randombytes_buf(salt, sizeof salt);
  randombytes_buf(nonce, sizeof nonce);
  const uint32_t ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
  const uint32_t memory = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  if (!deriveKey(o.password, salt, ops, memory, key)) return CV_ERR_OUT_OF_MEMORY;
  w.bytes(salt, sizeof salt);
  w.u32le(ops), w.u32le(memory);
  w.bytes(nonce, sizeof nonce);
  const size_t headerEnd = out.size();
  const size_t sealed = payload.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES;
  if (sealed > UINT32_MAX) return CV_ERR_TOO_LARGE;
  w.u32le(uint32_t(sealed));
  const size_t at = out.size();
  out.resize(at + sealed);
  unsigned long long written = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(out.data() + at, &written, payload.data(),
                                             payload.size(), out.data(), headerEnd, nullptr, nonce,
                                             key);
  sodium_memzero(key, sizeof key);
  return CV_OK;
}

}  // namespace rastcore
