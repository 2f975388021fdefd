// Message catalogues: look-ups in files of either byte order, the refusal of damaged,
// truncated and oversized files, and the directive check that keeps a translated log
// format from taking its arguments differently from the original.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../../clnx/message_catalogue.cpp"
#include "catalogue_file.h"
#include "vrqtest.h"

namespace {

using vrq::net::MessageCatalogue;
using vrq::net::SameDirectives;
using catalogue_file::Catalogue;
using catalogue_file::kCountAt;
using catalogue_file::kHashSizeAt;
using catalogue_file::kOriginalsAt;
using catalogue_file::kRevisionAt;
using catalogue_file::Messages;
using catalogue_file::Put;

constexpr const char* kWaiting = "1157I %s Waiting for TCP/IP to become active";
constexpr const char* kWartet = "1157I %s wartet auf TCP/IP";
constexpr const char* kActive = "1158I TCP/IP now active, initialization will proceed for %s";
constexpr const char* kAktiv = "1158I TCP/IP aktiv, %s wird initialisiert";

const Messages kGerman{{kWaiting, kWartet}, {kActive, kAktiv}};

MessageCatalogue LoadFile(const vrqtest::TempDir& dir, const std::string& bytes) {
  const std::string path = dir.file("vrqclnx.mo");
  vrqtest::WriteFile(path, bytes);
  return MessageCatalogue::Load(path.c_str());
}

class ByteOrder : public ::testing::TestWithParam<bool> {};

TEST_P(ByteOrder, FindsExactOriginalsOnly) {
  vrqtest::TempDir dir;
  const MessageCatalogue c = LoadFile(dir, Catalogue(kGerman, GetParam()));
  ASSERT_FALSE(c.empty());
  EXPECT_STREQ(c.Find(kWaiting), kWartet);
  EXPECT_STREQ(c.Find(kActive), kAktiv);
  EXPECT_STREQ(c.Translate(kActive), kAktiv);

  const std::string waiting = kWaiting;
  EXPECT_EQ(c.Find(waiting.substr(0, waiting.size() - 1)), nullptr);
  EXPECT_EQ(c.Find(waiting + " "), nullptr);
  EXPECT_EQ(c.Find("1159I something else"), nullptr);
  const char* other = "1159I %s unknown";
  EXPECT_EQ(c.Translate(other), other);
  // The header entry is not a message.
  EXPECT_EQ(c.Find(""), nullptr);
}

INSTANTIATE_TEST_SUITE_P(MessageCatalogue, ByteOrder, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Big" : "Little"; });

TEST(MessageCatalogue, MissingOrEmptyTranslationsKeepTheOriginal) {
  vrqtest::TempDir dir;
  EXPECT_TRUE(MessageCatalogue::Load(dir.file("absent.mo").c_str()).empty());
  EXPECT_TRUE(MessageCatalogue::Load(nullptr).empty());
  EXPECT_TRUE(MessageCatalogue::Load(dir.path().c_str()).empty());  // a folder
  EXPECT_EQ(MessageCatalogue().Translate(kWaiting), kWaiting);

  const MessageCatalogue c = LoadFile(dir, Catalogue({{kWaiting, ""}}));
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c.Find(kWaiting), nullptr);
  EXPECT_EQ(c.Translate(kWaiting), kWaiting);
}

TEST(MessageCatalogue, DamagedFilesCountAsNoCatalogue) {
  vrqtest::TempDir dir;
  const std::string good = Catalogue(kGerman);
  ASSERT_FALSE(LoadFile(dir, good).empty());

  auto with = [&](std::size_t at, uint32_t value) {
    std::string bytes = good;
    Put(bytes, at, value, false);
    return bytes;
  };
  EXPECT_TRUE(LoadFile(dir, with(0, 0x950412df)).empty());  // magic
  EXPECT_TRUE(LoadFile(dir, with(kRevisionAt, 1u << 16)).empty());
  EXPECT_TRUE(LoadFile(dir, with(kCountAt, 0x20000000)).empty());
  EXPECT_TRUE(LoadFile(dir, with(kOriginalsAt, 0xfffffff8)).empty());
  EXPECT_TRUE(LoadFile(dir, with(kHashSizeAt, 0x40000000)).empty());
  // The second message's original: length past the end, offset past the end, offset
  // that wraps, and a length that stops short of the zero byte.
  const std::size_t entry = 28 + 8 * 2;
  EXPECT_TRUE(LoadFile(dir, with(entry, static_cast<uint32_t>(good.size()))).empty());
  EXPECT_TRUE(LoadFile(dir, with(entry + 4, static_cast<uint32_t>(good.size()))).empty());
  EXPECT_TRUE(LoadFile(dir, with(entry + 4, 0xffffffff)).empty());
  EXPECT_TRUE(LoadFile(dir, with(entry, 3)).empty());

  // Every shorter prefix of the file cuts into a table or into the last text.
  for (std::size_t n = 0; n < good.size(); ++n)
    ASSERT_TRUE(MessageCatalogue::FromBytes(std::string_view(good).substr(0, n)).empty()) << n;
}

TEST(MessageCatalogue, AnyCorruptedByteIsSafe) {
  const std::string good = Catalogue(kGerman, true);
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (const char value : {'\0', '\x01', '\x7f', '\xff'}) {
      std::string bytes = good;
      bytes[i] = value;
      const MessageCatalogue c = MessageCatalogue::FromBytes(bytes);
      // Whatever is still accepted gives a format that takes its argument as the original.
      EXPECT_TRUE(SameDirectives(kWaiting, c.Translate(kWaiting))) << i;
      EXPECT_TRUE(SameDirectives(kActive, c.Translate(kActive))) << i;
    }
  }
}

TEST(MessageCatalogue, OversizedFilesAreRefused) {
  vrqtest::TempDir dir;
  std::string big = Catalogue(kGerman);
  big.resize(MessageCatalogue::kMaxFileSize, '\0');
  EXPECT_FALSE(LoadFile(dir, big).empty());
  big += '\0';
  EXPECT_TRUE(LoadFile(dir, big).empty());
}

TEST(MessageCatalogue, TranslationsMustTakeTheSameArguments) {
  vrqtest::TempDir dir;
  const MessageCatalogue c = LoadFile(dir, Catalogue({
      {kWaiting, "1157I %d wartet"},          // another conversion
      {kActive, "1158I %s %s aktiv"},         // one more argument
      {"A %s", "B"},                          // one fewer
      {"C %s", "D %10s"},                     // another width
      {"E %s", "F %1$s"},                     // argument position
      {"G %s", "H %s 100%%"},                 // a literal percent sign is fine
      {"I %s", "J %s %"},                     // incomplete directive
      {"K %s", "L %s %y"},                    // unknown conversion
      {"M %s", "N %n%s"},
  }));
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c.Translate(kWaiting), kWaiting);
  EXPECT_EQ(c.Translate(kActive), kActive);
  for (const char* original : {"A %s", "C %s", "E %s", "I %s", "K %s", "M %s"})
    EXPECT_STREQ(c.Translate(original), original);
  EXPECT_STREQ(c.Translate("G %s"), "H %s 100%%");
}

TEST(MessageCatalogue, DirectiveComparison) {
  EXPECT_TRUE(SameDirectives("no arguments", "keine Argumente"));
  EXPECT_TRUE(SameDirectives("%s at %d%%", "%%: %s bei %d"));
  EXPECT_TRUE(SameDirectives("%-8.3ld|%lu", "%-8.3ld %lu"));
  EXPECT_FALSE(SameDirectives("%s %d", "%d %s"));
  EXPECT_FALSE(SameDirectives("%ld", "%lld"));
  EXPECT_FALSE(SameDirectives("%s", "%*s"));
  EXPECT_FALSE(SameDirectives("%s %", "%s %"));  // an incomplete one never matches
}

}  // namespace
