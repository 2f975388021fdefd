// Hexadecimal text of the 24- and 32-byte binary identifiers (message and correlation
// identifiers, digests): two upper-case digits per byte and back.
#include "vrqapi.h"

#include <cstddef>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void BytesToText(const unsigned char* bytes, size_t count, char* text) {
  for (size_t i = 0; i < count; ++i) {
    text[2 * i] = kHexDigits[bytes[i] >> 4];
    text[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
  }
  text[2 * count] = '\0';
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Checks every digit before writing, so that bad text leaves the bytes untouched.
int TextToBytes(const char* text, size_t count, unsigned char* bytes) {
  if (text == nullptr || bytes == nullptr) return 0;
  for (size_t i = 0; i < 2 * count; ++i) {
    if (DigitValue(text[i]) < 0) return 0;
  }
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<unsigned char>(DigitValue(text[2 * i]) * 16 + DigitValue(text[2 * i + 1]));
  }
  return 1;
}

}  // namespace

extern "C" {

VRQAPI_API int ConvertByte24ToText48(const unsigned char* pBytes, char* szText) {
  if (pBytes == nullptr || szText == nullptr) return 0;
  BytesToText(pBytes, 24, szText);
  return 1;
}

VRQAPI_API int ConvertByte32ToText64(const unsigned char* pBytes, char* szText) {
  if (pBytes == nullptr || szText == nullptr) return 0;
  BytesToText(pBytes, 32, szText);
  return 1;
}

VRQAPI_API int ConvertText48ToByte24(const char* szText, unsigned char* pBytes) {
  return TextToBytes(szText, 24, pBytes);
}

VRQAPI_API int ConvertText64ToByte32(const char* szText, unsigned char* pBytes) {
  return TextToBytes(szText, 32, pBytes);
}

}  // extern "C"
