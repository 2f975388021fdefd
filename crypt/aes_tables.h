// AES tables shared by the byte-wise cipher, the table-driven cipher and the AES-NI key
// setup: the S-box and its inverse, the round constants and the four encryption and four
// decryption round tables, all computed at compile time from the field arithmetic.
#pragma once

#include <array>
#include <cstdint>

namespace vrqcrypt {

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
    b >>= 1;
  }
  return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n) {
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

// The multiplicative inverse through powers of the generator 3: inv(3^i) = 3^(255-i).
constexpr std::array<uint8_t, 256> MakeInverses() {
  std::array<uint8_t, 256> power{}, log{}, inv{};
  uint8_t p = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = p;
    log[p] = static_cast<uint8_t>(i);
    p = GfMul(p, 3);
  }
  for (int x = 1; x < 256; ++x) inv[x] = power[(255 - log[x]) % 255];
  return inv;
}

constexpr std::array<uint8_t, 256> MakeSbox() {
  const std::array<uint8_t, 256> inverse = MakeInverses();
  std::array<uint8_t, 256> box{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inv = inverse[x];
    box[x] = static_cast<uint8_t>(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^
                                  Rotl8(inv, 4) ^ 0x63);
  }
  return box;
}

inline constexpr std::array<uint8_t, 256> kSbox = MakeSbox();

constexpr std::array<uint8_t, 256> MakeInvSbox() {
  std::array<uint8_t, 256> box{};
  for (int x = 0; x < 256; ++x) box[kSbox[x]] = static_cast<uint8_t>(x);
  return box;
}

inline constexpr std::array<uint8_t, 256> kInvSbox = MakeInvSbox();

// Round constants x^(i-1) for the key schedule (index 0 unused).
inline constexpr std::array<uint8_t, 11> kRcon = {0x00, 0x01, 0x02, 0x04, 0x08, 0x10,
                                                  0x20, 0x40, 0x80, 0x1b, 0x36};

constexpr uint32_t Rotl32(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

constexpr uint32_t Pack(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return uint32_t{b0} | uint32_t{b1} << 8 | uint32_t{b2} << 16 | uint32_t{b3} << 24;
}

// Round tables: a state column is a little-endian word (byte 0 = row 0). Table k holds the
// MixColumns (or InvMixColumns) contribution of the substituted byte coming from row k.
using RoundTables = std::array<std::array<uint32_t, 256>, 4>;

constexpr RoundTables MakeEncTables() {
  RoundTables t{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kSbox[x];
    t[0][x] = Pack(GfMul(s, 2), s, s, GfMul(s, 3));
    for (int k = 1; k < 4; ++k) t[k][x] = Rotl32(t[0][x], 8 * k);
  }
  return t;
}

constexpr RoundTables MakeDecTables() {
  RoundTables t{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kInvSbox[x];
    t[0][x] = Pack(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
    for (int k = 1; k < 4; ++k) t[k][x] = Rotl32(t[0][x], 8 * k);
  }
  return t;
}

inline constexpr RoundTables kEncTables = MakeEncTables();
inline constexpr RoundTables kDecTables = MakeDecTables();

}  // namespace vrqcrypt
