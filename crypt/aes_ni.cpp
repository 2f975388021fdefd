// AES with the x86 AES instructions, chosen at run time when the processor has them. Four
// blocks are kept in flight so that the instruction latency overlaps; the decryption keys
// are the encryption keys in reverse order, the middle ones through AESIMC.
#include "aes_fast.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace vrqcrypt {
namespace {

struct NiKeys {
  __m128i k[15];
};

__attribute__((target("aes,sse2"))) NiKeys LoadKeys(const uint8_t* round_keys, uint32_t rounds) {
  NiKeys keys;
  for (uint32_t r = 0; r <= rounds; ++r)
    keys.k[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * r));
  return keys;
}

__attribute__((target("aes,sse2"))) NiKeys InverseKeys(const NiKeys& e, uint32_t rounds) {
  NiKeys d;
  d.k[0] = e.k[rounds];
  for (uint32_t r = 1; r < rounds; ++r) d.k[r] = _mm_aesimc_si128(e.k[rounds - r]);
  d.k[rounds] = e.k[0];
  return d;
}

#define VRQ_AES_TARGET __attribute__((target("aes,sse2"), always_inline)) inline

template <bool Encrypt>
VRQ_AES_TARGET __m128i Round(__m128i v, __m128i k) {
  return Encrypt ? _mm_aesenc_si128(v, k) : _mm_aesdec_si128(v, k);
}

template <bool Encrypt>
VRQ_AES_TARGET __m128i LastRound(__m128i v, __m128i k) {
  return Encrypt ? _mm_aesenclast_si128(v, k) : _mm_aesdeclast_si128(v, k);
}

VRQ_AES_TARGET __m128i LoadBlock(const uint8_t* in, size_t i, __m128i first_key) {
  return _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)),
                       first_key);
}

VRQ_AES_TARGET void StoreBlock(uint8_t* out, size_t i, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), v);
}

template <bool Encrypt>
__attribute__((target("aes,sse2"))) void Run(const NiKeys& keys, uint32_t rounds,
                                             const uint8_t* in, size_t blocks, uint8_t* out) {
  const __m128i* k = keys.k;
  size_t i = 0;
  for (; i + 4 <= blocks; i += 4) {
    __m128i a = LoadBlock(in, i, k[0]);
    __m128i b = LoadBlock(in, i + 1, k[0]);
    __m128i c = LoadBlock(in, i + 2, k[0]);
    __m128i d = LoadBlock(in, i + 3, k[0]);
    for (uint32_t r = 1; r < rounds; ++r) {
      a = Round<Encrypt>(a, k[r]);
      b = Round<Encrypt>(b, k[r]);
      c = Round<Encrypt>(c, k[r]);
      d = Round<Encrypt>(d, k[r]);
    }
    StoreBlock(out, i, LastRound<Encrypt>(a, k[rounds]));
    StoreBlock(out, i + 1, LastRound<Encrypt>(b, k[rounds]));
    StoreBlock(out, i + 2, LastRound<Encrypt>(c, k[rounds]));
    StoreBlock(out, i + 3, LastRound<Encrypt>(d, k[rounds]));
  }
  for (; i < blocks; ++i) {
    __m128i a = LoadBlock(in, i, k[0]);
    for (uint32_t r = 1; r < rounds; ++r) a = Round<Encrypt>(a, k[r]);
    StoreBlock(out, i, LastRound<Encrypt>(a, k[rounds]));
  }
}

}  // namespace

bool AesNiAvailable() {
  static const bool available = __builtin_cpu_supports("aes") != 0;
  return available;
}

void AesNiEncrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  Run<true>(LoadKeys(round_keys, rounds), rounds, in, blocks, out);
}

void AesNiDecrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  Run<false>(InverseKeys(LoadKeys(round_keys, rounds), rounds), rounds, in, blocks, out);
}

}  // namespace vrqcrypt

#else

namespace vrqcrypt {

// Without the x86 instructions the table-driven cipher does all the work.
bool AesNiAvailable() { return false; }
void AesNiEncrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  TableEncrypt(round_keys, rounds, in, blocks, out);
}
void AesNiDecrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out) {
  TableDecrypt(round_keys, rounds, in, blocks, out);
}

}  // namespace vrqcrypt
#endif
