// Path and text helpers of installation discovery, and the MQPlatform record.
#include "mqtx_test.h"

#include <cmqc.h>
#include <cmqcfc.h>

namespace {

using mqtxtest::Abs;
using mqtxtest::Rel;

TEST(PlatformPaths, RelativeAndAbsolute) {
  EXPECT_EQ(IsPathRelative("conf/a.ini"), 1);
  EXPECT_EQ(IsPathRelative("./a"), 1);
  EXPECT_EQ(IsPathRelative("/var/mqm"), 0);
  EXPECT_EQ(IsPathRelative(nullptr), 0);
  char base[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetBaseWMQPath(base), 1);
  EXPECT_STREQ(base, "/opt/mqm");
}

TEST(PlatformPaths, RelativeToAbsoluteClimbsTheBase) {
  EXPECT_EQ(Abs("", "/opt/app"), "/opt/app");
  EXPECT_EQ(Abs("conf/x.ini", "/opt/app"), "/opt/app/conf/x.ini");
  EXPECT_EQ(Abs("./conf", "/opt/app/"), "/opt/app/conf");
  EXPECT_EQ(Abs("../lib", "/opt/app/bin"), "/opt/app/lib");
  EXPECT_EQ(Abs("../../x", "/opt/app/bin/"), "/opt/x");
  EXPECT_EQ(Abs("../../../../x", "/opt/app"), "/x");
  EXPECT_EQ(Abs("x", std::string(VRQ_PL_PATH_SIZE, 'b').c_str()), "<refused>");
  EXPECT_EQ(RelPathToAbs(nullptr, "/a"), 0);
}

TEST(PlatformPaths, AbsoluteToRelative) {
  EXPECT_EQ(Rel("/opt/app/conf/x.ini", "/opt/app"), "conf/x.ini");
  EXPECT_EQ(Rel("/opt/lib", "/opt/app/bin"), "../../lib");
  EXPECT_EQ(Rel("/opt/app", "/opt/app"), "");
  EXPECT_EQ(Rel("/srv", "/opt/app/"), "../../srv");
  EXPECT_EQ(Rel(std::string(2000, 'p').c_str(), "/"), "<refused>");
}

TEST(PlatformPaths, SubstituteAndTokenize) {
  char name[] = "QM.A.B";
  EXPECT_STREQ(CharSubstitute(name, '.', '!'), "QM!A!B");
  EXPECT_EQ(CharSubstitute(nullptr, '.', '!'), nullptr);

  char text[] = "  one,,two ; three;";
  char* cursor = nullptr;
  std::vector<std::string> tokens;
  for (char* t = pltfm_strtok_r(text, " ,;", &cursor); t != nullptr;
       t = pltfm_strtok_r(nullptr, " ,;", &cursor))
    tokens.emplace_back(t);
  EXPECT_EQ(tokens, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(pltfm_strtok_r(nullptr, " ", &cursor), nullptr);
  char empty[] = " ; ";
  EXPECT_EQ(pltfm_strtok_r(empty, " ;", &cursor), nullptr);
}

TEST(PlatformRecord, CreateCutsTheNameAndDeleteChecksNull) {
  MQPlatform* p = CreateMQPlatform("a-platform-name-longer-than-twenty-seven");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->lKind, MQPLATFORM_KIND);
  EXPECT_STREQ(p->szName, "a-platform-name-longer-than");
  EXPECT_EQ(p->lReserved, 0);
  EXPECT_EQ(p->Read, &plRead);
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE, 64);
  EXPECT_EQ(plReadByProject(msg, p, "any"), 0);
  DeletePcfMessage(msg);
  EXPECT_EQ(DeleteMQPlatform(p), 1);
  EXPECT_EQ(DeleteMQPlatform(nullptr), 0);
  MQPlatform* unnamed = CreateMQPlatform(nullptr);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_STREQ(unnamed->szName, "");
  DeleteMQPlatform(unnamed);
}

}  // namespace
