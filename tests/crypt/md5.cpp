// MD5: the RFC 1321 test suite through md5_encrypt and through incremental appends split
// at every point, long streams in odd pieces, and the carry of the bit count into its
// high word.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vrqcrypt.h"

namespace {

std::string Hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string Digest(const std::string& s) {
  uint8_t d[16];
  md5_encrypt(U(s), s.size(), d);
  return Hex(d, 16);
}

struct Case {
  std::string input;
  const char* digest;
};

const Case kSuite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321SuiteInOneCallAndSplitAtEveryPoint) {
  for (const auto& c : kSuite) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(Digest(c.input), c.digest);
    for (size_t cut = 0; cut <= c.input.size(); ++cut) {
      MD5CONTEXT ctx;
      md5_init(&ctx);
      md5_append(&ctx, U(c.input), cut);
      md5_append(&ctx, U(c.input) + cut, c.input.size() - cut);
      md5_finish(&ctx);
      ASSERT_EQ(Hex(ctx.digest, 16), c.digest) << "cut at " << cut;
    }
  }
}

TEST(Md5, PiecesAcrossBlockBoundariesGiveTheSameDigest) {
  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 + (i >> 8));
  const std::string whole = Digest(data);
  for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 127u, 4096u}) {
    MD5CONTEXT ctx;
    md5_init(&ctx);
    for (size_t at = 0; at < data.size(); at += piece)
      md5_append(&ctx, U(data) + at, std::min(piece, data.size() - at));
    md5_finish(&ctx);
    EXPECT_EQ(Hex(ctx.digest, 16), whole) << "pieces of " << piece;
  }
  // A million 'a': a well-known long-input digest.
  EXPECT_EQ(Digest(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, BitCountCarriesIntoTheHighWord) {
  MD5CONTEXT ctx;
  md5_init(&ctx);
  ctx.count[0] = 0xfffffe00u;  // 64 bytes short of 2^32 bits, on a block boundary
  const std::vector<uint8_t> block(64, 'x');
  md5_append(&ctx, block.data(), block.size());
  EXPECT_EQ(ctx.count[0], 0u);
  EXPECT_EQ(ctx.count[1], 1u);
  md5_append(&ctx, block.data(), 3);
  EXPECT_EQ(ctx.count[0], 24u);
  EXPECT_EQ(ctx.count[1], 1u);
}

TEST(Md5, NullArgumentsAreIgnored) {
  MD5CONTEXT ctx;
  md5_init(&ctx);
  md5_append(&ctx, nullptr, 10);
  md5_finish(&ctx);
  EXPECT_EQ(Hex(ctx.digest, 16), kSuite[0].digest);
  md5_init(nullptr);
  md5_append(nullptr, U("a"), 1);
  md5_finish(nullptr);
  md5_encrypt(U("a"), 1, nullptr);
}

}  // namespace
