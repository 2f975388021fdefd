// The vrqsim command line: definition files checked at create, start/stop/status, and the
// usage text that states the stand-in's limits.
#include "mqi_test.h"

namespace {

const std::string kSim = vrqtest::StandinQm::ServerPath();

vrqtest::ProcessResult Sim(std::vector<std::string> args, const std::vector<std::string>& env) {
  args.insert(args.begin(), kSim);
  return vrqtest::Run(args, env);
}

}  // namespace

TEST(MqiCommandLine, DefinitionErrorsNameTheirLine) {
  vrqtest::TempDir dir;
  const std::vector<std::string> env{"VRQSIM_DIR=" + dir.path()};
  vrqtest::WriteFile(dir.file("bad.mqsc"), "* comment\nDEFINE QLOCAL(OK.Q)\nDEFINE QLOCAL(Q2) MAXDEPTH(abc)\n");
  auto bad = Sim({"create", "QM.CLI", "-d", dir.file("bad.mqsc")}, env);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("line 3: bad number for MAXDEPTH"), std::string::npos) << bad.err;
  vrqtest::WriteFile(dir.file("quote.mqsc"), "DEFINE QLOCAL(Q3) DESCR('unterminated)\n");
  EXPECT_NE(Sim({"create", "QM.CLI", "-d", dir.file("quote.mqsc")}, env).err.find("line 1:"), std::string::npos);
  vrqtest::WriteFile(dir.file("dup.mqsc"), "DEFINE QLOCAL(SYSTEM.DEAD.LETTER.QUEUE)\n");
  ASSERT_EQ(Sim({"create", "QM.DUP", "-d", dir.file("dup.mqsc")}, env).status, 0);
  EXPECT_NE(Sim({"start", "QM.DUP"}, env).status, 0);  // already exists without REPLACE
  EXPECT_NE(Sim({"create", "BAD NAME"}, env).status, 0);
}

TEST(MqiCommandLine, LifecycleAndUsage) {
  vrqtest::TempDir dir;
  const std::vector<std::string> env{"VRQSIM_DIR=" + dir.path()};
  ASSERT_EQ(Sim({"create", "QM.LIFE"}, env).status, 0);
  EXPECT_NE(Sim({"create", "QM.LIFE"}, env).status, 0);
  EXPECT_EQ(Sim({"status", "QM.LIFE"}, env).out, "QM.LIFE stopped (default)\n");
  ASSERT_EQ(Sim({"start", "QM.LIFE"}, env).status, 0);
  EXPECT_NE(Sim({"start", "QM.LIFE"}, env).status, 0);
  EXPECT_EQ(Sim({"status", "QM.LIFE"}, env).status, 0);
  EXPECT_NE(Sim({"delete", "QM.LIFE"}, env).status, 0);  // still running
  EXPECT_EQ(Sim({"stop", "QM.LIFE"}, env).status, 0);
  EXPECT_EQ(Sim({"status", "QM.LIFE"}, env).status, 1);
  EXPECT_EQ(Sim({"delete", "QM.LIFE"}, env).status, 0);
  EXPECT_EQ(Sim({"fault", "QM.LIFE", "crash"}, env).status, 1);  // not running: no false success

  auto usage = Sim({"--help"}, env);
  EXPECT_EQ(usage.status, 0);
  EXPECT_NE(usage.out.find("nothing persists across a restart"), std::string::npos);
  EXPECT_NE(usage.out.find("produces no EXCEPTION reports"), std::string::npos);
  EXPECT_EQ(Sim({}, env).status, 2);
}
