// Ini files: loading (and what bad files give), the tokenizer, and every lookup on a handle:
// key masks, two-way matches with "=", enumeration with from-start 1 then 2, comments,
// cut keys and values, line helpers, work groups and reason-code texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "vrqapi.h"
#include "vrqtest.h"

namespace {

constexpr const char* kDelims = " \n\t=";
constexpr const char* kTerms = " \n\t";

// An ini handle loaded from text in a temporary file, closed at the end.
struct Loaded {
  vrqtest::TempDir dir;
  IniFile ini{};
  char err[VRQ_INI_ERRTEXT_SIZE] = {};
  int ok = 0;
  explicit Loaded(const std::string& text, const char* delims = kDelims,
                  const char* terms = kTerms) {
    vrqtest::WriteFile(dir.file("t.ini"), text);
    ok = vrqOpenIniFile(dir.file("t.ini").c_str(), delims, terms, &ini, err, 0);
  }
  ~Loaded() { vrqCloseIniFile(&ini); }
};

using vrqtest::Install;

TEST(IniFile, KeyValueWithBothLookups) {
  Loaded f("Name=QM1\nA = 1\n");
  ASSERT_EQ(f.ok, 1) << f.err;
  char v[VRQ_INI_VALUE_SIZE];
  EXPECT_EQ(vrqGetValue(&f.ini, "Name", v, 1), 1);
  EXPECT_STREQ(v, "QM1");
  EXPECT_EQ(vrqGetValueExt(&f.ini, "Name", v, 1), 1);
  EXPECT_STREQ(v, "QM1");
  // The blank after A ends the key: the plain lookup's value runs from "=" to the blank,
  // the "=" lookup's value stops at the blank right after "=".
  EXPECT_EQ(vrqGetValue(&f.ini, "A", v, 1), 1);
  EXPECT_STREQ(v, "=");
  EXPECT_EQ(vrqGetValueExt(&f.ini, "A", v, 1), 1);
  EXPECT_STREQ(v, "");
  // Wildcards on either side of the two-way match.
  EXPECT_EQ(vrqGetValueExt(&f.ini, "Na*", v, 1), 1);
  EXPECT_STREQ(v, "QM1");
  EXPECT_EQ(vrqGetValue(&f.ini, "Missing", v, 1), 0);
}

TEST(IniFile, CommentsAndEnumeration) {
  Loaded f("# Name=X\nName=Y\nQueueManager:\n  Name=QM1\nQueueManager:\n  Name=QM2 # last\n");
  ASSERT_EQ(f.ok, 1);
  char v[VRQ_INI_VALUE_SIZE];
  EXPECT_EQ(vrqGetValue(&f.ini, "Name", v, 1), 1);
  EXPECT_STREQ(v, "Y");
  ASSERT_EQ(vrqGetValue(&f.ini, "QueueManager:", v, 1), 1);
  std::string names;
  while (vrqGetValue(&f.ini, "Name", v, 2) == 1) names += std::string(v) + ",";
  EXPECT_EQ(names, "QM1,QM2,");
  // A further lookup continuing from the end finds nothing and leaves v alone.
  std::strcpy(v, "kept");
  EXPECT_EQ(vrqGetValue(&f.ini, "*", v, 2), 0);
  EXPECT_STREQ(v, "kept");
}

TEST(IniFile, KeyAndValueEnumeratesKeysSkippingComments) {
  Loaded f("#c\nA=1\n  # note\nB=2");
  ASSERT_EQ(f.ok, 1);
  char k[VRQ_INI_VALUE_SIZE], v[VRQ_INI_VALUE_SIZE];
  ASSERT_EQ(vrqGetKeyAndValue(&f.ini, k, v, 1), 1);
  EXPECT_STREQ(k, "A");
  EXPECT_STREQ(v, "1");
  ASSERT_EQ(vrqGetKeyAndValue(&f.ini, k, v, 2), 1);
  EXPECT_STREQ(k, "B");
  EXPECT_STREQ(v, "2");  // no final line end: the value runs to the end of the text
  EXPECT_EQ(vrqGetKeyAndValue(&f.ini, k, v, 2), 0);
}

TEST(IniFile, BadFiles) {
  vrqtest::TempDir dir;
  IniFile ini{};
  char err[VRQ_INI_ERRTEXT_SIZE] = {};
  EXPECT_EQ(vrqOpenIniFile(dir.file("none.ini").c_str(), kDelims, kTerms, &ini, err, 0), 0);
  EXPECT_EQ(std::string(err).rfind("Opening file " + dir.file("none.ini") +
                                       " failed\nERRNO(2): ERRSTR(", 0), 0u)
      << err;
  EXPECT_EQ(ini.pText, nullptr);

  vrqtest::WriteFile(dir.file("empty.ini"), "");
  EXPECT_EQ(vrqOpenIniFile(dir.file("empty.ini").c_str(), kDelims, kTerms, &ini, err, 0), 0);
  EXPECT_EQ(std::string(err).rfind("Get size of file " + dir.file("empty.ini") + " failed\n", 0),
            0u);
  EXPECT_EQ(ini.pText, nullptr);
  // No error text wanted: nothing is written anywhere.
  EXPECT_EQ(vrqOpenIniFile(dir.file("empty.ini").c_str(), kDelims, kTerms, &ini, nullptr, 0), 0);

  // A path longer than the handle keeps is refused like a missing file.
  const std::string longPath(VRQ_INI_PATH_MAX + 1, 'x');
  EXPECT_EQ(vrqOpenIniFile(longPath.c_str(), kDelims, kTerms, &ini, err, 0), 0);
  EXPECT_NE(std::string(err).find("Opening file"), std::string::npos);
}

TEST(IniFile, OversizedAndBinaryInputIsCutNotOverrun) {
  const std::string longKey(5000, 'K'), longValue(5000, 'v');
  std::string text = longKey + "=" + longValue + "\r\nCr=LF\r\nEmpty=\nBin=\x01\x02\xff";
  text += std::string(1, '\0') + "Hidden=1\n";
  Loaded f(text);
  ASSERT_EQ(f.ok, 1);
  char k[VRQ_INI_VALUE_SIZE], v[VRQ_INI_VALUE_SIZE];
  ASSERT_EQ(vrqGetKeyAndValue(&f.ini, k, v, 1), 1);
  EXPECT_EQ(std::string(k), std::string(VRQ_INI_TOKEN_MAX, 'K'));
  EXPECT_EQ(std::string(v), std::string(VRQ_INI_TOKEN_MAX, 'v'));
  // The rest of a cut value is skipped: the next key is the one on the next line. A CR
  // is not a terminator here, so it stays in the value; Windows reads the file as text,
  // where CR LF is the line end.
  ASSERT_EQ(vrqGetKeyAndValue(&f.ini, k, v, 2), 1);
  EXPECT_STREQ(k, "Cr");
#ifdef _WIN32
  EXPECT_STREQ(v, "LF");
#else
  EXPECT_STREQ(v, "LF\r");
#endif
  EXPECT_EQ(vrqGetValue(&f.ini, "Empty", v, 1), 1);
  EXPECT_STREQ(v, "");
  EXPECT_EQ(vrqGetValue(&f.ini, "Bin", v, 1), 1);
  EXPECT_STREQ(v, "\x01\x02\xff");
  // A NUL byte ends the text for the lookups.
  EXPECT_EQ(vrqGetValue(&f.ini, "Hidden", v, 1), 0);
  // A key with nothing behind it has no value.
  Loaded g("Last");
  ASSERT_EQ(g.ok, 1);
  EXPECT_EQ(vrqGetValue(&g.ini, "Last", v, 1), 0);
  EXPECT_EQ(vrqGetValueExt(&g.ini, "Last", v, 1), 0);
}

TEST(IniFile, ResetPosStaysInsideTheText) {
  Loaded f("A=1\nB=2\n");
  ASSERT_EQ(f.ok, 1);
  char v[VRQ_INI_VALUE_SIZE];
  EXPECT_EQ(vrqResetPos(&f.ini, 4), 4);
  EXPECT_EQ(vrqGetValue(&f.ini, "A", v, 2), 0);
  EXPECT_EQ(vrqResetPos(&f.ini, 0), 0);
  EXPECT_EQ(vrqResetPos(&f.ini, 9999), 0);
  EXPECT_EQ(vrqResetPos(&f.ini, -1), 0);
  EXPECT_EQ(vrqGetValue(&f.ini, "A", v, 2), 1);
  EXPECT_STREQ(v, "1");
}

TEST(IniFile, TokenizerAndLineHelpers) {
  char tok[VRQ_INI_VALUE_SIZE];
  int32_t used = 0;
  EXPECT_EQ(vrqGetToken(tok, "", " ", &used), 0);
  EXPECT_STREQ(tok, "");
  EXPECT_EQ(vrqGetToken(tok, "ab cd", " ", &used), 1);
  EXPECT_STREQ(tok, "ab");
  EXPECT_EQ(used, 3);
  EXPECT_EQ(vrqGetToken(tok, "# c\nkey x", " ", &used), 1);
  EXPECT_STREQ(tok, "key");
  EXPECT_EQ(used, 8);
  EXPECT_EQ(vrqGetToken(tok, "ke#y", " ", &used), 1);  // '#' without a line end is plain
  EXPECT_STREQ(tok, "ke#y");
  EXPECT_EQ(vrqIsMember('=', " ="), 1);
  EXPECT_EQ(vrqIsMember('\0', " ="), 0);

  const char* two = "one\ntwo\n";
  EXPECT_EQ(vrqLineCount(two), 2);
  EXPECT_EQ(vrqLineCount(nullptr), 0);
  EXPECT_EQ(vrqGoToLine(two, 0), two);
  EXPECT_STREQ(vrqGoToLine(two, 2), "two\n");
  EXPECT_STREQ(vrqGoToLine(two, 3), "two\n");
  EXPECT_EQ(vrqGoToLine(nullptr, 2), nullptr);
}

TEST(IniFile, WorkgroupResolution) {
  Install inst;
  inst.Write("mqgroup.ini",
             "Group::Test WG=GRP1\nGRP1::Node=host1 trailing\nGRP1::Service=1414\n"
             "GRP1::DBUser=dbu\nGroup::Half=GRP2\nGRP2::Node=h2\n");
  char group[VRQ_INI_VALUE_SIZE] = "", node[VRQ_INI_VALUE_SIZE] = "",
       service[VRQ_INI_VALUE_SIZE] = "", dbUser[VRQ_INI_VALUE_SIZE] = "",
       dbPwd[VRQ_INI_VALUE_SIZE] = "untouched", zNode[VRQ_INI_VALUE_SIZE] = "";
  char* targets[VRQ_WORKGROUP_TARGETS] = {group, node, service, nullptr, nullptr, nullptr,
                                          dbUser, dbPwd};
  char err[VRQ_INI_ERRTEXT_SIZE] = "";
  ASSERT_EQ(vrqResolveWorkgroup("Test WG", targets, err), 1) << err;
  EXPECT_STREQ(group, "GRP1");
  EXPECT_STREQ(node, "host1");
  EXPECT_STREQ(service, "1414");
  EXPECT_STREQ(dbUser, "dbu");
  EXPECT_STREQ(dbPwd, "untouched");  // optional attribute missing: left alone

  EXPECT_EQ(vrqResolveWorkgroup("Nope", targets, err), 0);
  EXPECT_STREQ(err, "Could not resolve Workgroup \"Nope\"\n");
  targets[3] = zNode;
  EXPECT_EQ(vrqResolveWorkgroup("Half", targets, err), 0);
  EXPECT_STREQ(err, "Could not resolve Workgroup \"Half\" to \"Service\"\n");
}

TEST(IniFile, ReasonCodeTexts) {
  Install inst;
  EXPECT_STREQ(GetRcText(2033), "unknown reason code");  // no file
  inst.Write("vrqrc.ini", "[2033]\"MQRC_NO_MSG_AVAILABLE: no message\"\n[2085]\"NO_COLON\"\n");
  EXPECT_STREQ(GetRcText(2033), "MQRC_NO_MSG_AVAILABLE");
  EXPECT_STREQ(GetRcText(2085), "NO_COLON");
  EXPECT_STREQ(GetRcText(2009), "unknown reason code");

  // The installation directory also places ordinary ini files.
  inst.Write("x.ini", "K=V\n");
  IniFile ini{};
  char v[VRQ_INI_VALUE_SIZE];
  ASSERT_EQ(vrqOpenIniFile("x.ini", kDelims, kTerms, &ini, nullptr, 1), 1);
  EXPECT_EQ(vrqGetValue(&ini, "K", v, 1), 1);
  EXPECT_STREQ(v, "V");
  vrqCloseIniFile(&ini);
}

}  // namespace
