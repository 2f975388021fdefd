// Base64 (RFC 4648 alphabet) with 72-character lines: b64encode and b64decode. The
// encoder turns each 12 bits into two characters with one table look-up; the decoder
// checks and counts the text first, then decodes groups of four significant characters.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vrqcrypt.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr size_t kLineChars = 72;
constexpr size_t kLineBytes = kLineChars / 4 * 3;
constexpr char kLineEnd = '\n';
constexpr char kSkipped[] = " \f\n\r\t\v";

// Decoder classes beside the 6-bit values.
constexpr uint8_t kPadValue = 64;
constexpr uint8_t kSkip = 0x80;
constexpr uint8_t kInvalid = 0xff;

enum DecodeResult { kOk = 0, kBadPadding = 1, kBadCount = 2, kBadCharacter = 3 };

// Two output characters for every 12-bit value.
constexpr std::array<uint16_t, 4096> MakePairs() {
  std::array<uint16_t, 4096> t{};
  for (int v = 0; v < 4096; ++v) {
    const auto hi = static_cast<uint8_t>(kAlphabet[v >> 6]);
    const auto lo = static_cast<uint8_t>(kAlphabet[v & 63]);
    t[v] = static_cast<uint16_t>(hi | lo << 8);  // memory order: hi, lo
  }
  return t;
}

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kInvalid;
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
  t[static_cast<uint8_t>(kPad)] = kPadValue;
  for (const char* s = kSkipped; *s != '\0'; ++s) t[static_cast<uint8_t>(*s)] = kSkip;
  return t;
}

constexpr std::array<uint16_t, 4096> kPairs = MakePairs();
constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

// Four characters for three bytes.
inline void EncodeGroup(const uint8_t* in, char* out) {
  const uint32_t v = uint32_t{in[0]} << 16 | uint32_t{in[1]} << 8 | in[2];
  std::memcpy(out, &kPairs[v >> 12], 2);
  std::memcpy(out + 2, &kPairs[v & 0xfff], 2);
}

// The last one or two bytes, completed with padding.
void EncodeTail(const uint8_t* in, size_t n, char* out) {
  const uint32_t v = uint32_t{in[0]} << 16 | (n > 1 ? uint32_t{in[1]} << 8 : 0);
  out[0] = kAlphabet[v >> 18];
  out[1] = kAlphabet[(v >> 12) & 63];
  out[2] = n > 1 ? kAlphabet[(v >> 6) & 63] : kPad;
  out[3] = kPad;
}

// Steps 1 and 2 of decoding: the count of significant characters, or an error.
int CountSignificant(const uint8_t* text, size_t& count) {
  count = 0;
  for (; *text != 0; ++text) {
    const uint8_t v = kDecode[*text];
    if (v == kInvalid) return kBadCharacter;
    count += v != kSkip;
  }
  return count % 4 == 0 ? kOk : kBadCount;
}

// Reads the next four significant values; the caller knows they exist.
inline const uint8_t* NextGroup(const uint8_t* p, uint8_t (&g)[4]) {
  for (int i = 0; i < 4; ++p) {
    const uint8_t v = kDecode[*p];
    if (v != kSkip) g[i++] = v;
  }
  return p;
}

// Decodes count significant characters into out; returns the bytes written or -1 when a
// padding character stands anywhere but at the end of the last group.
ptrdiff_t DecodeGroups(const uint8_t* p, size_t count, uint8_t* out) {
  uint8_t* o = out;
  for (size_t left = count / 4; left > 0; --left) {
    uint8_t g[4];
    // Fast path: four plain characters in a row (the text holds at least four more).
    if ((kDecode[p[0]] | kDecode[p[1]] | kDecode[p[2]] | kDecode[p[3]]) < kPadValue) {
      g[0] = kDecode[p[0]];
      g[1] = kDecode[p[1]];
      g[2] = kDecode[p[2]];
      g[3] = kDecode[p[3]];
      p += 4;
    } else {
      p = NextGroup(p, g);
    }
    if (g[0] == kPadValue || g[1] == kPadValue) return -1;
    *o++ = static_cast<uint8_t>(g[0] << 2 | g[1] >> 4);
    if (g[2] == kPadValue) {
      if (g[3] != kPadValue || left != 1) return -1;
      break;
    }
    *o++ = static_cast<uint8_t>(g[1] << 4 | g[2] >> 2);
    if (g[3] == kPadValue) {
      if (left != 1) return -1;
      break;
    }
    *o++ = static_cast<uint8_t>(g[2] << 6 | g[3]);
  }
  return o - out;
}

}  // namespace

extern "C" char* b64encode(const uint8_t* data, size_t length) {
  if (data == nullptr) return nullptr;
  if (length == 0) length = std::strlen(reinterpret_cast<const char*>(data));
  if (length > SIZE_MAX / 2) return nullptr;  // the text's size would not be representable
  const size_t chars = (length + 2) / 3 * 4;
  const size_t lines = (chars + kLineChars - 1) / kLineChars;
  char* text = static_cast<char*>(std::malloc(chars + lines + 1));
  if (text == nullptr) return nullptr;

  char* o = text;
  const uint8_t* in = data;
  for (size_t full = length / kLineBytes; full > 0; --full) {
    for (size_t g = 0; g < kLineBytes; g += 3) EncodeGroup(in + g, o + g / 3 * 4);
    in += kLineBytes;
    o += kLineChars;
    *o++ = kLineEnd;
  }
  const size_t rest = length % kLineBytes;
  for (size_t g = 0; g + 3 <= rest; g += 3, o += 4) EncodeGroup(in + g, o);
  if (rest % 3 != 0) {
    EncodeTail(in + rest / 3 * 3, rest % 3, o);
    o += 4;
  }
  if (rest != 0) *o++ = kLineEnd;
  *o = '\0';
  return text;
}

extern "C" int b64decode(const char* text, uint8_t** output, size_t* output_length) {
  if (text == nullptr) return kBadPadding;
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  size_t count = 0;
  if (const int rc = CountSignificant(p, count); rc != kOk) return rc;

  auto* out = static_cast<uint8_t*>(std::malloc(count / 4 * 3 + 1));
  if (out == nullptr) return kBadPadding;
  const ptrdiff_t written = DecodeGroups(p, count, out);
  if (written < 0) {
    std::free(out);
    return kBadPadding;
  }
  if (output == nullptr) {
    std::free(out);
  } else {
    *output = out;
  }
  if (output_length != nullptr) *output_length = static_cast<size_t>(written);
  return kOk;
}
