// ASCII/EBCDIC conversion, code-page and character-set tests, local byte order and byte
// reversal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vrqapi.h"
#include "vrqtest.h"

TEST(TextConvert, RoundTripsPrintableAsciiAndKnownCodes) {
  std::string ascii;
  for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
  std::string ebcdic(ascii.size(), '\0');
  ASSERT_EQ(TextConvert(ascii.data(), ebcdic.data(), static_cast<int>(ascii.size()), 0), 127);
  EXPECT_EQ(static_cast<unsigned char>(ebcdic['A' - 1]), 193);
  EXPECT_EQ(static_cast<unsigned char>(ebcdic['\n' - 1]), 21);
  EXPECT_EQ(static_cast<unsigned char>(ebcdic['|' - 1]), 106);
  std::string back(ascii.size(), '\0');
  ASSERT_EQ(TextConvert(ebcdic.data(), back.data(), static_cast<int>(ebcdic.size()), 1), 127);
  EXPECT_EQ(back, ascii);
}

TEST(TextConvert, EbcdicWithoutEntryAndBothLineFeeds) {
  unsigned char in[] = {21, 37, 65, 187, 0xC1};
  unsigned char out[5];
  ASSERT_EQ(TextConvert(in, out, 5, 1), 5);
  EXPECT_EQ(out[0], '\n');
  EXPECT_EQ(out[1], '\n');
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 'A');
}

TEST(TextConvert, InPlaceAndHighAsciiBecomesSubstitute) {
  char text[] = "Q1\xE9";
  ASSERT_EQ(TextConvert(text, text, 3, 0), 3);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xD8);
  EXPECT_EQ(static_cast<unsigned char>(text[1]), 0xF1);
  EXPECT_EQ(static_cast<unsigned char>(text[2]), 0x3F);
  ASSERT_EQ(TextConvert(text, text, 3, 1), 3);
  EXPECT_STREQ(text, "Q1\x1A");
}

TEST(TextConvert, BadArgumentsConvertNothing) {
  char src[4] = "abc";
  char dst[4] = "xyz";
  EXPECT_EQ(TextConvert(src, dst, 0, 0), 0);
  EXPECT_STREQ(dst, "xyz");
  EXPECT_EQ(TextConvert(src, dst, 3, 2), 0);
  EXPECT_STREQ(dst, "xyz");
  vrqtest::CaptureStdout out;
  EXPECT_EQ(TextConvert(src, dst, -1, 0), 0);
  EXPECT_EQ(TextConvert(nullptr, dst, 3, 0), 0);
  const std::string text = vrqtest::Mask(out.text(), "0x[0-9a-f]+|\\(nil\\)", "<p>");
#ifndef _WIN32  // the Windows C run-time writes %p as 16 digits without 0x
  EXPECT_EQ(text,
            "*** ERROR: TextConvert: src or dest ptr or byte count invalid: \nszSrc <p>, szDest <p>, "
            "ulByteCount -1 .\nNo conversion done.\n"
            "*** ERROR: TextConvert: src or dest ptr or byte count invalid: \nszSrc <p>, szDest <p>, "
            "ulByteCount 3 .\nNo conversion done.\n");
#endif
  EXPECT_STREQ(dst, "xyz");
}

TEST(TextConvert, CodePagesAndCharacterSets) {
  for (int ccsid : {37, 285, 500, 870, 273, 277, 278, 280, 282, 284, 297, 420, 423, 424, 838, 871,
                    875, 880, 905, 1025, 1026}) {
    EXPECT_EQ(IsEbcdicCodePage(ccsid), 1) << ccsid;
  }
  EXPECT_EQ(IsEbcdicCodePage(819), 0);
  EXPECT_EQ(IsEbcdicCodePage(1208), 0);

  const unsigned char ebcdic[] = {0x40, 0xC1};   // blank, A
  EXPECT_EQ(IsEbcdicCharSet(ebcdic, 2), 1);
  EXPECT_EQ(IsEbcdicCharSet(ebcdic, 1), 0);       // ends before the deciding byte
  EXPECT_EQ(IsEbcdicCharSet("HELLO", 5), 0);      // 'H' has no EBCDIC entry
  EXPECT_EQ(IsEbcdicCharSet(nullptr, 5), 0);
}

TEST(ByteOrder, LocalFlagsAndReversals) {
  EXPECT_EQ(IsAscText(), 1);
  EXPECT_EQ(IsLtEndian(), 1);
  EXPECT_EQ(IsBgEndian(), 0);
  EXPECT_EQ(bwbyte(0x12), 0x21);
  EXPECT_EQ(bwshort(0x1122), 0x2211);
  EXPECT_EQ(bwlong(0x11223344u), 0x44332211u);
  EXPECT_EQ(bwint64(0x1122334455667788ull), 0x8877665544332211ull);
  EXPECT_EQ(bwlong(bwlong(0xDEADBEEFu)), 0xDEADBEEFu);
}
