// AES: the FIPS-197 example vectors for the three key sizes through both entry points,
// multi-block ECB in place, lengths that are refused, and the three block paths (byte-wise
// reference, round tables, AES-NI) agreeing on random data.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../../crypt/aes_ni.cpp"
#include "../../crypt/aes_table.cpp"
#include "vrqcrypt.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

Bytes Counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}

struct Vector {
  uint32_t key_length;
  const char* cipher;
};

// FIPS-197 appendix C: key 00 01 02 ..., plain text 00112233...eeff.
constexpr Vector kAppendixC[] = {
    {16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {32, "8ea2b7ca516745bfeafc49904b496089"},
};
const Bytes kPlain = FromHex("00112233445566778899aabbccddeeff");

TEST(Aes, AppendixVectorsBothWaysThroughEcbAndSingleBlock) {
  for (const auto& v : kAppendixC) {
    SCOPED_TRACE(v.key_length);
    const Bytes key = Counting(v.key_length);
    const Bytes expected = FromHex(v.cipher);

    Bytes cipher(16), plain(16);
    aes_encrypt(key.data(), v.key_length, kPlain.data(), 16, cipher.data());
    EXPECT_EQ(cipher, expected);
    aes_decrypt(key.data(), v.key_length, cipher.data(), 16, plain.data());
    EXPECT_EQ(plain, kPlain);

    AESCONTEXT ctx{};
    ASSERT_EQ(InitData(&ctx, key.data(), v.key_length), 1);
    EXPECT_EQ(ctx.Nk, v.key_length / 4);
    EXPECT_EQ(ctx.Nr, v.key_length / 4 + 6);
    KeyExpansion(&ctx);
    std::copy(kPlain.begin(), kPlain.end(), ctx.in);
    Cipher(&ctx);
    EXPECT_EQ(Bytes(ctx.out, ctx.out + 16), expected);
    std::copy(expected.begin(), expected.end(), ctx.in);
    InvCipher(&ctx);
    EXPECT_EQ(Bytes(ctx.out, ctx.out + 16), kPlain);
  }
}

TEST(Aes, KeyScheduleMatchesAppendixA) {
  // FIPS-197 A.1 and A.3: the last words of the expanded keys.
  AESCONTEXT ctx{};
  const Bytes k128 = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
  ASSERT_EQ(InitData(&ctx, k128.data(), 16), 1);
  KeyExpansion(&ctx);
  EXPECT_EQ(Bytes(ctx.RoundKey + 160, ctx.RoundKey + 176),
            FromHex("d014f9a8c9ee2589e13f0cc8b6630ca6"));

  const Bytes k256 =
      FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  ASSERT_EQ(InitData(&ctx, k256.data(), 32), 1);
  KeyExpansion(&ctx);
  EXPECT_EQ(Bytes(ctx.RoundKey + 224, ctx.RoundKey + 240),
            FromHex("fe4890d1e6188d0b046df344706c631e"));
}

TEST(Aes, EcbEnciphersEachBlockAloneAndWorksInPlace) {
  const Bytes key = Counting(32);
  Bytes data;
  for (int i = 0; i < 7; ++i) data.insert(data.end(), kPlain.begin(), kPlain.end());
  Bytes buffer = data;
  aes_encrypt(key.data(), 32, buffer.data(), static_cast<uint32_t>(buffer.size()), buffer.data());
  for (size_t b = 0; b < 7; ++b)
    EXPECT_EQ(Bytes(buffer.begin() + 16 * b, buffer.begin() + 16 * b + 16), FromHex(kAppendixC[2].cipher));
  aes_decrypt(key.data(), 32, buffer.data(), static_cast<uint32_t>(buffer.size()), buffer.data());
  EXPECT_EQ(buffer, data);
}

TEST(Aes, RefusedLengthsLeaveTheOutputUntouched) {
  const Bytes key = Counting(32);
  const Bytes input(48, 0x11);
  const Bytes untouched(48, 0xee);
  Bytes out = untouched;
  aes_encrypt(key.data(), 16, input.data(), 17, out.data());
  aes_decrypt(key.data(), 16, input.data(), 17, out.data());
  aes_encrypt(key.data(), 20, input.data(), 16, out.data());
  aes_decrypt(key.data(), 0, input.data(), 16, out.data());
  aes_encrypt(nullptr, 16, input.data(), 16, out.data());
  EXPECT_EQ(out, untouched);
  aes_encrypt(key.data(), 16, input.data(), 0, out.data());
  EXPECT_EQ(out, untouched);

  AESCONTEXT ctx{};
  EXPECT_EQ(InitData(&ctx, key.data(), 20), 0);
  EXPECT_EQ(ctx.Nr, 0u);
  // A context never set up is refused instead of running past its round keys.
  ctx.Nr = 200;
  KeyExpansion(&ctx);
  Cipher(&ctx);
  InvCipher(&ctx);
  EXPECT_EQ(Bytes(ctx.out, ctx.out + 16), Bytes(16, 0));
}

TEST(Aes, AllBlockPathsAgreeWithTheReference) {
  std::mt19937 rng(7);
  auto random_bytes = [&](size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
  };
  for (uint32_t key_length : {16u, 24u, 32u}) {
    SCOPED_TRACE(key_length);
    const Bytes key = random_bytes(key_length);
    const Bytes data = random_bytes(16 * 37);  // not a multiple of the 4-block AES-NI batch
    AESCONTEXT ctx{};
    ASSERT_EQ(InitData(&ctx, key.data(), key_length), 1);
    KeyExpansion(&ctx);

    Bytes reference(data.size());
    for (size_t b = 0; b < data.size(); b += 16) {
      std::copy_n(data.begin() + b, 16, ctx.in);
      Cipher(&ctx);
      std::copy_n(ctx.out, 16, reference.begin() + b);
    }
    Bytes table(data.size()), back(data.size());
    vrqcrypt::TableEncrypt(ctx.RoundKey, ctx.Nr, data.data(), data.size() / 16, table.data());
    EXPECT_EQ(table, reference);
    vrqcrypt::TableDecrypt(ctx.RoundKey, ctx.Nr, table.data(), data.size() / 16, back.data());
    EXPECT_EQ(back, data);

    if (vrqcrypt::AesNiAvailable()) {
      Bytes ni(data.size());
      vrqcrypt::AesNiEncrypt(ctx.RoundKey, ctx.Nr, data.data(), data.size() / 16, ni.data());
      EXPECT_EQ(ni, reference);
      vrqcrypt::AesNiDecrypt(ctx.RoundKey, ctx.Nr, ni.data(), data.size() / 16, back.data());
      EXPECT_EQ(back, data);
    }
  }
}

}  // namespace
