// The table-driven AES block cipher: each round is sixteen table look-ups on 32-bit state
// columns. Decryption uses the equivalent inverse cipher, whose middle round keys are
// passed through InvMixColumns once per call.
#include <cstring>

#include "aes_fast.h"
#include "aes_tables.h"

namespace vrqcrypt {
namespace {

uint32_t Load32(const uint8_t* p) {
  return Pack(p[0], p[1], p[2], p[3]);
}

void Store32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr uint8_t B(uint32_t v, int k) { return static_cast<uint8_t>(v >> (8 * k)); }

// Round keys as column words: 4 * (rounds + 1) of them.
struct KeyWords {
  uint32_t w[60];
};

KeyWords EncryptionKeys(const uint8_t* round_keys, uint32_t rounds) {
  KeyWords k{};
  for (uint32_t i = 0; i < 4 * (rounds + 1); ++i) k.w[i] = Load32(round_keys + 4 * i);
  return k;
}

// Keys in decryption order: the last round key first, the middle ones through
// InvMixColumns (computed as the decryption table of the S-box image).
KeyWords DecryptionKeys(const uint8_t* round_keys, uint32_t rounds) {
  const KeyWords e = EncryptionKeys(round_keys, rounds);
  KeyWords d{};
  for (uint32_t r = 0; r <= rounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      const uint32_t w = e.w[4 * (rounds - r) + c];
      const bool middle = r != 0 && r != rounds;
      d.w[4 * r + c] = middle ? kDecTables[0][kSbox[B(w, 0)]] ^ kDecTables[1][kSbox[B(w, 1)]] ^
                                    kDecTables[2][kSbox[B(w, 2)]] ^ kDecTables[3][kSbox[B(w, 3)]]
                              : w;
    }
  }
  return d;
}

// One block. Shift is 1 for encryption (column c takes row k from column c + k) and 3 for
// decryption (from column c - k).
template <int Shift>
void Block(const KeyWords& k, uint32_t rounds, const RoundTables& t,
           const std::array<uint8_t, 256>& box, const uint8_t* in, uint8_t* out) {
  uint32_t s[4];
  for (int c = 0; c < 4; ++c) s[c] = Load32(in + 4 * c) ^ k.w[c];
  const uint32_t* rk = k.w + 4;
  for (uint32_t round = 1; round < rounds; ++round, rk += 4) {
    uint32_t n[4];
    for (int c = 0; c < 4; ++c) {
      n[c] = t[0][B(s[c], 0)] ^ t[1][B(s[(c + Shift) % 4], 1)] ^
             t[2][B(s[(c + 2 * Shift) % 4], 2)] ^ t[3][B(s[(c + 3 * Shift) % 4], 3)] ^ rk[c];
    }
    std::memcpy(s, n, sizeof s);
  }
  for (int c = 0; c < 4; ++c) {
    const uint32_t v = Pack(box[B(s[c], 0)], box[B(s[(c + Shift) % 4], 1)],
                            box[B(s[(c + 2 * Shift) % 4], 2)], box[B(s[(c + 3 * Shift) % 4], 3)]);
    Store32(out + 4 * c, v ^ rk[c]);
  }
}

}  // namespace

void TableEncrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  const KeyWords k = EncryptionKeys(round_keys, rounds);
  for (size_t i = 0; i < blocks; ++i) Block<1>(k, rounds, kEncTables, kSbox, in + 16 * i, out + 16 * i);
}

void TableDecrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  const KeyWords k = DecryptionKeys(round_keys, rounds);
  for (size_t i = 0; i < blocks; ++i)
    Block<3>(k, rounds, kDecTables, kInvSbox, in + 16 * i, out + 16 * i);
}

}  // namespace vrqcrypt
