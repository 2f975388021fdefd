// Message scrambling under a 32-bit key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vrqapi.h"

TEST(Scramble, KeyZeroOnlyExchangesHalvesAndRoundTrips) {
  unsigned char data[] = {0x41, 0x00, 0xF0};
  ASSERT_EQ(EncryptMsg(data, 3, 0), 1);
  EXPECT_EQ(data[0], 0x14);
  EXPECT_EQ(data[1], 0x00);
  EXPECT_EQ(data[2], 0x0F);
  ASSERT_EQ(DecryptMsg(data, 3, 0), 1);
  EXPECT_EQ(data[0], 0x41);
}

TEST(Scramble, KeyActsAsOneByteMaskAndDecryptInverts) {
  std::string text = "The quick brown fox";
  const std::string original = text;
  const uint32_t key = 0x12345678u;
  const unsigned char mask = 0x12 ^ 0x34 ^ 0x56 ^ 0x78;
  ASSERT_EQ(EncryptMsg(text.data(), static_cast<int>(text.size()), key), 1);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), static_cast<unsigned char>(bwbyte('T') ^ mask));
  EXPECT_NE(text, original);
  ASSERT_EQ(DecryptMsg(text.data(), static_cast<int>(text.size()), key), 1);
  EXPECT_EQ(text, original);

  uint32_t value = 0xCAFEF00Du;
  uint32_t scrambled = value;
  EncryptMsg(&scrambled, 4, key);
  EXPECT_EQ(DecryptLong(scrambled, key), value);
}

TEST(Scramble, BadLengthIsRefused) {
  unsigned char data[] = {0x41};
  EXPECT_EQ(EncryptMsg(data, -1, 7), 0);
  EXPECT_EQ(DecryptMsg(nullptr, 4, 7), 0);
  EXPECT_EQ(EncryptMsg(nullptr, 0, 7), 1);
  EXPECT_EQ(data[0], 0x41);
}
