// Base64: RFC 4648 vectors both ways, the 72-character line rule, skipped characters, every
// failure result of b64decode (nothing returned on failure), and random round trips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "vrqcrypt.h"

namespace {

std::string Encode(const std::string& data) {
  char* text = b64encode(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  if (text == nullptr) return "<null>";
  std::string s = text;
  std::free(text);
  return s;
}

struct Decoded {
  int rc;
  std::string bytes;
};

Decoded Decode(const char* text) {
  uint8_t* out = reinterpret_cast<uint8_t*>(0x1);  // must stay as it is on failure
  size_t length = 12345;
  const int rc = b64decode(text, &out, &length);
  if (rc != 0) {
    EXPECT_EQ(out, reinterpret_cast<uint8_t*>(0x1));
    EXPECT_EQ(length, 12345u);
    return {rc, ""};
  }
  std::string s(reinterpret_cast<char*>(out), length);
  std::free(out);
  return {rc, s};
}

TEST(Base64, Rfc4648VectorsBothWays) {
  const std::pair<std::string, std::string> vectors[] = {
      {"f", "Zg==\n"},     {"fo", "Zm8=\n"},        {"foo", "Zm9v\n"},
      {"foob", "Zm9vYg==\n"}, {"fooba", "Zm9vYmE=\n"}, {"foobar", "Zm9vYmFy\n"},
      {"abc", "YWJj\n"},
  };
  for (const auto& [plain, text] : vectors) {
    EXPECT_EQ(Encode(plain), text);
    const Decoded d = Decode(text.c_str());
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.bytes, plain);
  }
  EXPECT_EQ(Decode("").rc, 0);
  EXPECT_EQ(Decode(" \n").bytes, "");
}

TEST(Base64, LinesHold72CharactersAndEndWithALineFeed) {
  const std::string one = Encode(std::string(54, 'x'));
  EXPECT_EQ(one.size(), 73u);
  EXPECT_EQ(one.find('\n'), 72u);

  const std::string two = Encode(std::string(55, 'x'));
  ASSERT_EQ(two.size(), 72u + 1 + 4 + 1);
  EXPECT_EQ(two[72], '\n');
  EXPECT_EQ(two.substr(73), "eA==\n");

  const std::string exact = Encode(std::string(108, 'x'));
  EXPECT_EQ(exact.size(), 2u * 73);
  EXPECT_EQ(exact.rfind('\n', 144), 72u);
}

TEST(Base64, ZeroLengthMeansTextAndExplicitLengthsKeepZeroBytes) {
  EXPECT_EQ(b64encode(nullptr, 3), nullptr);
  char* text = b64encode(reinterpret_cast<const uint8_t*>("abc"), 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "YWJj\n");
  std::free(text);
  text = b64encode(reinterpret_cast<const uint8_t*>("\0abc"), 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  std::free(text);
  // Binary data that starts with a zero byte is encoded in full when its length is given.
  EXPECT_EQ(Encode(std::string("\0\1\2", 3)), "AAEC\n");
  EXPECT_EQ(Decode("AAEC").bytes, std::string("\0\1\2", 3));
}

TEST(Base64, SkippedCharactersAnywhere) {
  EXPECT_EQ(Decode("Zm9v\nYmFy\n").bytes, "foobar");
  EXPECT_EQ(Decode(" Z m\t9\rv\fY\vm F y ").bytes, "foobar");
  EXPECT_EQ(Decode("YQ==").bytes, "a");
  EXPECT_EQ(Decode("YQ==\n\n").bytes, "a");
}

TEST(Base64, EveryFailureResult) {
  EXPECT_EQ(Decode(nullptr).rc, 1);
  EXPECT_EQ(Decode("YQ==YWJj").rc, 1);  // padding before the last group
  EXPECT_EQ(Decode("YWE=YWJj").rc, 1);
  EXPECT_EQ(Decode("YWJ").rc, 2);
  EXPECT_EQ(Decode("YWJjY").rc, 2);
  EXPECT_EQ(Decode("YW*j").rc, 3);
  EXPECT_EQ(Decode("YWJ\x80").rc, 3);
  EXPECT_EQ(Decode("YW-j").rc, 3);
  EXPECT_EQ(Decode("YWJ*Y").rc, 3);  // an invalid character wins over a bad count
  // Padding where a data character must stand would decode to invented bits.
  EXPECT_EQ(Decode("=WJj").rc, 1);
  EXPECT_EQ(Decode("Y===").rc, 1);
  EXPECT_EQ(Decode("YQ=j").rc, 1);

  size_t length = 0;
  EXPECT_EQ(b64decode("YWJj", nullptr, &length), 0);  // decoded, then released at once
  EXPECT_EQ(length, 3u);
}

TEST(Base64, RandomRoundTrips) {
  std::mt19937 rng(42);
  for (size_t n = 1; n < 400; n += 7) {
    std::string data(n, '\0');
    for (auto& c : data) c = static_cast<char>(rng());
    const std::string text = Encode(data);
    const Decoded d = Decode(text.c_str());
    ASSERT_EQ(d.rc, 0) << n;
    ASSERT_EQ(d.bytes, data) << n;
  }
}

}  // namespace
