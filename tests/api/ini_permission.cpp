// Permission files: sorting of lines into the four sections, line ends, the header, long
// lines read in pieces, and the permit and expression lookups over a section.
#include <gtest/gtest.h>

#include <string>

#include "vrqapi.h"
#include "vrqtest.h"

namespace {

std::string Section(const PermSection& s) {
  return s.pText == nullptr ? std::string() : std::string(s.pText, s.lLength);
}

struct LoadedPerm {
  vrqtest::TempDir dir;
  PermFile perm{};
  char err[VRQ_INI_ERRTEXT_SIZE] = {};
  int ok = 0;
  explicit LoadedPerm(const std::string& text) {
    vrqtest::WriteFile(dir.file("p.prm"), text);
    ok = vrqOpenPermFile(dir.file("p.prm").c_str(), " \n\t=", " \r\n\t", &perm, err, 0);
  }
  ~LoadedPerm() { vrqClosePermFile(&perm); }
};

TEST(PermFile, LinesSortedIntoSections) {
  LoadedPerm p("Header line of the file\nUserAuthority::QM1:app=r\nuseraut::QM1:x=w\r\n"
               "Audit::QM1:y=a\nOther::z=1\n");
  ASSERT_EQ(p.ok, 1) << p.err;
  EXPECT_STREQ(p.perm.szHeader, "Header line of the file");
  EXPECT_EQ(Section(p.perm.UserAuth), "UserAuthority::QM1:app=r\r\nuseraut::QM1:x=w\r\n");
  EXPECT_EQ(p.perm.UserAuth.lLength, 44);
  EXPECT_EQ(Section(p.perm.Audit), "Audit::QM1:y=a\r\n");
  EXPECT_EQ(p.perm.Effective.pText, nullptr);
  EXPECT_EQ(p.perm.Effective.lLength, 0);
  EXPECT_EQ(p.perm.Trust.pText, nullptr);
}

TEST(PermFile, EveryBareLineFeedBecomesCrLfWithoutOverrun) {
  // Each short line grows by one byte: far more than the file size plus 4.
  std::string text;
  for (int i = 0; i < 500; ++i) text += "TRUST::a\n";
  LoadedPerm p(text);
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ(p.perm.Trust.lLength, 500 * 10);
  EXPECT_EQ(Section(p.perm.Trust).substr(0, 20), "TRUST::a\r\nTRUST::a\r\n");
}

TEST(PermFile, LongLinesArriveInPiecesAndHeaderIsCut) {
  const std::string longLine = "Audit::" + std::string(3000, 'x') + "\n";
  LoadedPerm p(std::string(200, 'H') + "\n" + longLine + "Audit::" + "end");
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ(std::string(p.perm.szHeader), std::string(VRQ_PERM_HEADER_MAX, 'H'));
  // The first 2043 characters form one line; the rest of the line does not begin with a
  // section prefix and is dropped; the last line has no line end and stays as it is.
  EXPECT_EQ(Section(p.perm.Audit), longLine.substr(0, 2043) + "Audit::end");
}

TEST(PermFile, EmptyAndMissingFiles) {
  vrqtest::TempDir dir;
  PermFile perm{};
  char err[VRQ_INI_ERRTEXT_SIZE] = {};
  vrqtest::WriteFile(dir.file("e.prm"), "");
  EXPECT_EQ(vrqOpenPermFile(dir.file("e.prm").c_str(), " ", " ", &perm, err, 0), 0);
  EXPECT_EQ(std::string(err).rfind("Get size of file", 0), 0u);
  EXPECT_EQ(vrqOpenPermFile(dir.file("x.prm").c_str(), " ", " ", &perm, err, 0), 0);
  EXPECT_EQ(std::string(err).rfind("Opening file", 0), 0u);
  EXPECT_EQ(vrqClosePermFile(&perm), 1);
}

TEST(PermFile, LookupsOverASection) {
  const char* text = "Audit::QM1:Q*=rw\r\nUserAuthority::QM1:app:Q1=x\r\n";
  char v[VRQ_INI_VALUE_SIZE];
  int32_t pos = 0;
  // Expression match either way, value after "=".
  EXPECT_EQ(vrqGetValuePermits(text, "=\r\n", "\r\n", "Audit::QM1:QA", v, 1, &pos), 1);
  EXPECT_STREQ(v, "rw");
  EXPECT_EQ(vrqGetValuePermits(text, "=\r\n", "\r\n", "User*:Q?", v, 1, &pos), 1);
  EXPECT_STREQ(v, "x");
  EXPECT_EQ(vrqGetValuePermits(text, "=\r\n", "\r\n", "Nothing", v, 1, &pos), 0);
  // Simple mask either way.
  EXPECT_EQ(vrqGetValueExt2(text, nullptr, "=\r\n", "\r\n", "UserAuthority*", v, 1), 1);
  EXPECT_STREQ(v, "x");
  // Permit masks: the token is the mask for the caller's key.
  pos = 0;
  EXPECT_EQ(vrqGetValueExtExt2(text, "=\r\n", "\r\n", "UserAuthority::QM1:app:Q1", v, 1, &pos),
            1);
  EXPECT_STREQ(v, "x");
  EXPECT_EQ(vrqGetValueExtExt2(text, "=\r\n", "\r\n", "Other::QM1:app:Q1", v, 2, &pos), 0);
  // A position outside the text finds nothing.
  pos = 9999;
  EXPECT_EQ(vrqGetValuePermits(text, "=\r\n", "\r\n", "*", v, 2, &pos), 0);
}

TEST(PermFile, PermitLookupOnAHandleDeliversOneCharacter) {
  vrqtest::TempDir dir;
  vrqtest::WriteFile(dir.file("p.ini"), "UserAuthority::QM1:app:Q* rw\nAudit::QM1:x:Y w\nAudit::Z");
  IniFile ini{};
  ASSERT_EQ(vrqOpenIniFile(dir.file("p.ini").c_str(), " \n", "\n", &ini, nullptr, 0), 1);
  char v[VRQ_INI_VALUE_SIZE];
  int32_t pos = 0;
  EXPECT_EQ(vrqGetValueExtExt(&ini, "UserAuthority::QM1:app:QA", v, 1, &pos), 1);
  EXPECT_STREQ(v, "r");
  EXPECT_EQ(vrqGetValueExtExt(&ini, "Audit::QM1:x:Y", v, 2, &pos), 1);
  EXPECT_STREQ(v, "w");
  EXPECT_EQ(ini.lPos, 0);  // the caller's position moved, not the handle's
  EXPECT_EQ(vrqGetValueExtExt(&ini, "Audit::Z", v, 2, &pos), 0);  // last thing in the text
  vrqCloseIniFile(&ini);
}

}  // namespace
