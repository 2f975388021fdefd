// ASCII/EBCDIC text conversion and the tests of the local character set and of
// code pages. The two tables are built at compile time from one 128-entry map, so the
// EBCDIC-to-ASCII table is the exact inverse of the ASCII-to-EBCDIC one. This file
// stands alone (no other vrqapi code): the reply utility compiles its own copy.
#include "vrqapi.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// IBM code page 500 for ASCII 0..127, except line feed -> 0x15 (EBCDIC new line, not
// 0x25) and the vertical bar -> 0x6A (not 0xBB), the forms the peers expect.
constexpr std::array<unsigned char, 128> kAsciiToEbcdic = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x15, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26, 0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F,
    0x40, 0x4F, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x4A, 0xE0, 0x5A, 0x5F, 0x6D,
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x6A, 0xD0, 0xA1, 0x07,
};

// Bytes 128..255 have no ASCII meaning here; they become the EBCDIC substitute
// character, which converts back to the ASCII substitute (26) rather than ending a
// string with a zero byte.
constexpr unsigned char kEbcdicSubstitute = 0x3F;
constexpr unsigned char kEbcdicLineFeed = 0x25;

// The inverse of kAsciiToEbcdic, plus EBCDIC line feed to ASCII line feed; every other
// EBCDIC code has no entry and gives 0.
constexpr std::array<unsigned char, 256> MakeEbcdicToAscii() {
  std::array<unsigned char, 256> table{};
  for (unsigned ascii = 0; ascii < kAsciiToEbcdic.size(); ++ascii) {
    table[kAsciiToEbcdic[ascii]] = static_cast<unsigned char>(ascii);
  }
  table[kEbcdicLineFeed] = '\n';
  return table;
}

constexpr std::array<unsigned char, 256> kEbcdicToAscii = MakeEbcdicToAscii();

static_assert(kAsciiToEbcdic['A'] == 193 && kAsciiToEbcdic['\n'] == 21 && kAsciiToEbcdic['|'] == 106);
static_assert(kEbcdicToAscii[193] == 'A' && kEbcdicToAscii[21] == '\n' && kEbcdicToAscii[37] == '\n');

constexpr std::array<int, 21> kEbcdicCodePages = {
    37,  285, 500, 870, 273, 277, 278, 280, 282, 284, 297,
    420, 423, 424, 838, 871, 875, 880, 905, 1025, 1026,
};

constexpr const char* kTextConvertError =
    "*** ERROR: TextConvert: src or dest ptr or byte count invalid: \nszSrc %p, szDest %p, "
    "ulByteCount %d .\nNo conversion done.\n";

constexpr int kToEbcdic = 0;
constexpr int kToAscii = 1;

unsigned char ToEbcdic(unsigned char c) {
  return c < kAsciiToEbcdic.size() ? kAsciiToEbcdic[c] : kEbcdicSubstitute;
}

unsigned char ToAscii(unsigned char c) { return kEbcdicToAscii[c]; }

}  // namespace

extern "C" {

VRQAPI_API int TextConvert(const void* szSrc, void* szDest, int ulByteCount, int iDirection) {
  if (szSrc == nullptr || szDest == nullptr || ulByteCount < 0) {
    std::printf(kTextConvertError, szSrc, szDest, ulByteCount);
    return 0;
  }
  if (iDirection != kToEbcdic && iDirection != kToAscii) return 0;
  // Byte by byte, so that source and destination may be the same area.
  const auto* src = static_cast<const unsigned char*>(szSrc);
  auto* dest = static_cast<unsigned char*>(szDest);
  if (iDirection == kToEbcdic) {
    for (int i = 0; i < ulByteCount; ++i) dest[i] = ToEbcdic(src[i]);
  } else {
    for (int i = 0; i < ulByteCount; ++i) dest[i] = ToAscii(src[i]);
  }
  return ulByteCount;
}

VRQAPI_API int IsAscText(void) { return 'A' == 0x41 ? 1 : 0; }

VRQAPI_API int IsEbcdicCodePage(int lCcsid) {
  return std::find(kEbcdicCodePages.begin(), kEbcdicCodePages.end(), lCcsid) !=
                 kEbcdicCodePages.end()
             ? 1
             : 0;
}

VRQAPI_API int IsEbcdicCharSet(const void* pBytes, int lLength) {
  if (pBytes == nullptr) return 0;
  const auto* bytes = static_cast<const unsigned char*>(pBytes);
  for (int i = 0; i < lLength; ++i) {
    if (bytes[i] & 0x80) return 1;
    if (kEbcdicToAscii[bytes[i]] == 0) return 0;
  }
  return 0;
}

}  // extern "C"
