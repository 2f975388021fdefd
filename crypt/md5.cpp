// The MD5 message digest (RFC 1321): md5_init/md5_append/md5_finish on a caller-owned
// context and the one-call md5_encrypt. The reply utility builds this file into itself
// with VRQCRYPT_STATIC, so it depends on nothing but the standard library.
#include <cstring>

#include "vrqcrypt.h"

namespace {

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The four auxiliary functions of the rounds, written in the forms that need fewest
// operations.
constexpr uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
constexpr uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
constexpr uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
constexpr uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t,
                 int s) {
  a = b + Rotl(a + Fn(b, c, d) + x + t, s);
}

void Transform(uint32_t abcd[4], const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);
  uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];

  Step<F>(a, b, c, d, x[0], 0xd76aa478, 7);    Step<F>(d, a, b, c, x[1], 0xe8c7b756, 12);
  Step<F>(c, d, a, b, x[2], 0x242070db, 17);   Step<F>(b, c, d, a, x[3], 0xc1bdceee, 22);
  Step<F>(a, b, c, d, x[4], 0xf57c0faf, 7);    Step<F>(d, a, b, c, x[5], 0x4787c62a, 12);
  Step<F>(c, d, a, b, x[6], 0xa8304613, 17);   Step<F>(b, c, d, a, x[7], 0xfd469501, 22);
  Step<F>(a, b, c, d, x[8], 0x698098d8, 7);    Step<F>(d, a, b, c, x[9], 0x8b44f7af, 12);
  Step<F>(c, d, a, b, x[10], 0xffff5bb1, 17);  Step<F>(b, c, d, a, x[11], 0x895cd7be, 22);
  Step<F>(a, b, c, d, x[12], 0x6b901122, 7);   Step<F>(d, a, b, c, x[13], 0xfd987193, 12);
  Step<F>(c, d, a, b, x[14], 0xa679438e, 17);  Step<F>(b, c, d, a, x[15], 0x49b40821, 22);

  Step<G>(a, b, c, d, x[1], 0xf61e2562, 5);    Step<G>(d, a, b, c, x[6], 0xc040b340, 9);
  Step<G>(c, d, a, b, x[11], 0x265e5a51, 14);  Step<G>(b, c, d, a, x[0], 0xe9b6c7aa, 20);
  Step<G>(a, b, c, d, x[5], 0xd62f105d, 5);    Step<G>(d, a, b, c, x[10], 0x02441453, 9);
  Step<G>(c, d, a, b, x[15], 0xd8a1e681, 14);  Step<G>(b, c, d, a, x[4], 0xe7d3fbc8, 20);
  Step<G>(a, b, c, d, x[9], 0x21e1cde6, 5);    Step<G>(d, a, b, c, x[14], 0xc33707d6, 9);
  Step<G>(c, d, a, b, x[3], 0xf4d50d87, 14);   Step<G>(b, c, d, a, x[8], 0x455a14ed, 20);
  Step<G>(a, b, c, d, x[13], 0xa9e3e905, 5);   Step<G>(d, a, b, c, x[2], 0xfcefa3f8, 9);
  Step<G>(c, d, a, b, x[7], 0x676f02d9, 14);   Step<G>(b, c, d, a, x[12], 0x8d2a4c8a, 20);

  Step<H>(a, b, c, d, x[5], 0xfffa3942, 4);    Step<H>(d, a, b, c, x[8], 0x8771f681, 11);
  Step<H>(c, d, a, b, x[11], 0x6d9d6122, 16);  Step<H>(b, c, d, a, x[14], 0xfde5380c, 23);
  Step<H>(a, b, c, d, x[1], 0xa4beea44, 4);    Step<H>(d, a, b, c, x[4], 0x4bdecfa9, 11);
  Step<H>(c, d, a, b, x[7], 0xf6bb4b60, 16);   Step<H>(b, c, d, a, x[10], 0xbebfbc70, 23);
  Step<H>(a, b, c, d, x[13], 0x289b7ec6, 4);   Step<H>(d, a, b, c, x[0], 0xeaa127fa, 11);
  Step<H>(c, d, a, b, x[3], 0xd4ef3085, 16);   Step<H>(b, c, d, a, x[6], 0x04881d05, 23);
  Step<H>(a, b, c, d, x[9], 0xd9d4d039, 4);    Step<H>(d, a, b, c, x[12], 0xe6db99e5, 11);
  Step<H>(c, d, a, b, x[15], 0x1fa27cf8, 16);  Step<H>(b, c, d, a, x[2], 0xc4ac5665, 23);

  Step<I>(a, b, c, d, x[0], 0xf4292244, 6);    Step<I>(d, a, b, c, x[7], 0x432aff97, 10);
  Step<I>(c, d, a, b, x[14], 0xab9423a7, 15);  Step<I>(b, c, d, a, x[5], 0xfc93a039, 21);
  Step<I>(a, b, c, d, x[12], 0x655b59c3, 6);   Step<I>(d, a, b, c, x[3], 0x8f0ccc92, 10);
  Step<I>(c, d, a, b, x[10], 0xffeff47d, 15);  Step<I>(b, c, d, a, x[1], 0x85845dd1, 21);
  Step<I>(a, b, c, d, x[8], 0x6fa87e4f, 6);    Step<I>(d, a, b, c, x[15], 0xfe2ce6e0, 10);
  Step<I>(c, d, a, b, x[6], 0xa3014314, 15);   Step<I>(b, c, d, a, x[13], 0x4e0811a1, 21);
  Step<I>(a, b, c, d, x[4], 0xf7537e82, 6);    Step<I>(d, a, b, c, x[11], 0xbd3af235, 10);
  Step<I>(c, d, a, b, x[2], 0x2ad7d2bb, 15);   Step<I>(b, c, d, a, x[9], 0xeb86d391, 21);

  abcd[0] += a;
  abcd[1] += b;
  abcd[2] += c;
  abcd[3] += d;
}

}  // namespace

extern "C" void md5_init(MD5CONTEXT* context) {
  if (context == nullptr) return;
  std::memset(context, 0, sizeof *context);
  context->abcd[0] = 0x67452301;
  context->abcd[1] = 0xefcdab89;
  context->abcd[2] = 0x98badcfe;
  context->abcd[3] = 0x10325476;
}

extern "C" void md5_append(MD5CONTEXT* context, const uint8_t* data, size_t length) {
  if (context == nullptr || data == nullptr || length == 0) return;
  size_t used = (context->count[0] >> 3) & 63;
  // The bit count is two 32-bit words; the low word carries into the high one.
  const uint64_t bits = static_cast<uint64_t>(length) << 3;
  const uint32_t low = context->count[0] + static_cast<uint32_t>(bits);
  context->count[1] += static_cast<uint32_t>(bits >> 32) + (low < context->count[0] ? 1 : 0);
  context->count[0] = low;

  if (used != 0) {
    const size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(context->buf + used, data, take);
    data += take;
    length -= take;
    used += take;
    if (used < 64) return;
    Transform(context->abcd, context->buf);
  }
  for (; length >= 64; data += 64, length -= 64) Transform(context->abcd, data);
  if (length != 0) std::memcpy(context->buf, data, length);
}

extern "C" void md5_finish(MD5CONTEXT* context) {
  if (context == nullptr) return;
  uint8_t length_bytes[8];
  StoreLe32(length_bytes, context->count[0]);
  StoreLe32(length_bytes + 4, context->count[1]);
  const size_t used = (context->count[0] >> 3) & 63;
  static constexpr uint8_t kPad[64] = {0x80};
  md5_append(context, kPad, used < 56 ? 56 - used : 120 - used);
  md5_append(context, length_bytes, 8);
  for (int i = 0; i < 4; ++i) StoreLe32(context->digest + 4 * i, context->abcd[i]);
}

extern "C" void md5_encrypt(const uint8_t* data, size_t length, uint8_t* digest) {
  if (digest == nullptr) return;
  MD5CONTEXT ctx;
  md5_init(&ctx);
  md5_append(&ctx, data, length);
  md5_finish(&ctx);
  std::memcpy(digest, ctx.digest, sizeof ctx.digest);
}
