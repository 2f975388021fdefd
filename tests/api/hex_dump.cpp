// Hexadecimal dumps: the two-line rows of PrintHex/PrintHexFile and the offset rows of
// PrintFormattedHexData, compared with expected text.
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <string>

#include "vrqtest.h"

namespace {

const unsigned char kBytes[] = "PCF\x01\x02 abc\x7F\xFFxyz0123456789ABCD";  // 26 bytes

template <typename F>
std::string Printed(F f) {
  vrqtest::CaptureStdout out;
  f();
  return out.text();
}

TEST(HexDump, TwoLineRowsWithIndent) {
  EXPECT_EQ(Printed([] {
              PrintHex(kBytes, 10, 4, 2);
              PrintHexFile(stdout, kBytes, 5, 8, 3);
            }),
            vrqtest::DataFile("api/hex_rows.txt"));
}

TEST(HexDump, FormattedRowsLineUpTheSecondGroup) {
  EXPECT_EQ(Printed([] {
              PrintHexData(kBytes, 26, stdout);
              PrintFormattedHexData(kBytes, 11, 8, "", "  (1) - ", "        ", 0, stdout);
              PrintHexBytes(kBytes, 3, "-", stdout);
              PrintHexChars(kBytes, 5, "", stdout);
            }),
            vrqtest::DataFile("api/hex_formatted.txt"));
}

TEST(HexDump, NothingIsPrintedForEmptyOrInvalidAreas) {
  EXPECT_EQ(Printed([] {
              PrintHex(nullptr, 10, 4, 0);
              PrintHex(kBytes, -1, 4, 0);
              PrintHex(kBytes, 10, 0, 0);
              PrintHexData(kBytes, 0, stdout);
              PrintFormattedHexData(kBytes, 10, -3, " ", "", "", 1, stdout);
            }),
            "");
}

}  // namespace
