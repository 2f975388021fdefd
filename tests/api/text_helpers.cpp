// Hexadecimal text of binary identifiers and the in-place string helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vrqapi.h"

TEST(HexText, TwentyFourAndThirtyTwoBytesRoundTrip) {
  unsigned char zeros[24] = {};
  char text48[49];
  ASSERT_EQ(ConvertByte24ToText48(zeros, text48), 1);
  EXPECT_EQ(std::string(text48), std::string(48, '0'));
  unsigned char back24[24];
  std::memset(back24, 0xFF, sizeof back24);
  ASSERT_EQ(ConvertText48ToByte24(text48, back24), 1);
  EXPECT_EQ(std::memcmp(back24, zeros, 24), 0);

  unsigned char bytes[32];
  for (int i = 0; i < 32; ++i) bytes[i] = static_cast<unsigned char>(i * 8 + 3);
  char text64[65];
  ASSERT_EQ(ConvertByte32ToText64(bytes, text64), 1);
  EXPECT_EQ(std::string(text64, 6), "030B13");
  EXPECT_EQ(std::string(text64 + 62), "FB");
  std::string lower(text64);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  unsigned char back32[32];
  ASSERT_EQ(ConvertText64ToByte32(lower.c_str(), back32), 1);
  EXPECT_EQ(std::memcmp(back32, bytes, 32), 0);
}

TEST(HexText, BadDigitsOrShortTextWriteNothing) {
  unsigned char out[24];
  std::memset(out, 0x5A, sizeof out);
  std::string text(48, '1');
  text[47] = 'G';
  EXPECT_EQ(ConvertText48ToByte24(text.c_str(), out), 0);
  EXPECT_EQ(ConvertText48ToByte24("0102", out), 0);  // ends at its terminator
  EXPECT_EQ(ConvertText48ToByte24(nullptr, out), 0);
  for (unsigned char b : out) EXPECT_EQ(b, 0x5A);
}

TEST(StringHelpers, CaseBlanksPaddingAndReplacement) {
  char name[] = "qm1 name  ";
  EXPECT_STREQ(strupper(name), "QM1 NAME  ");
  EXPECT_STREQ(trim_str(name), "QM1 NAME");
  EXPECT_STREQ(strip_spaces(name), "QM1");

  char blanks[] = "   ";
  EXPECT_STREQ(trim_str(blanks), "");

  char pad[8] = "AB";
  char* end = pad_spaces(pad, 4);
  EXPECT_STREQ(pad, "AB  ");
  EXPECT_EQ(end, pad + 4);
  char cut[8] = "ABCDEF";
  pad_spaces(cut, 4);
  EXPECT_STREQ(cut, "ABCD");
  EXPECT_EQ(pad_spaces(cut, -1), nullptr);

  char path[] = "a.b.c";
  EXPECT_STREQ(str_replace_char(path, '.', '/'), "a/b/c");
  EXPECT_EQ(strupper(nullptr), nullptr);
  EXPECT_EQ(strip_spaces(nullptr), nullptr);
}
