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
  EXPECT_NE(usage.out.find("kept in the recovery log"), std::string::npos);
  EXPECT_NE(usage.out.find("produces no EXCEPTION reports"), std::string::npos);
  EXPECT_EQ(Sim({}, env).status, 2);
}

TEST(MqiCommandLine, HelpUnknownCommandsAndMissingQueueManagers) {
  vrqtest::TempDir dir;
  const std::vector<std::string> env{"VRQSIM_DIR=" + dir.path()};
  auto help = Sim({"help"}, env);
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"create", "start", "run", "stop", "delete", "status", "put", "get", "browse", "display",
                              "depth", "clear", "define", "alter", "fault", "help"})
    EXPECT_NE(help.out.find("\n  " + std::string(command) + " "), std::string::npos) << command;
  EXPECT_EQ(Sim({}, env).err, help.out);

  for (const auto& args : {std::vector<std::string>{"bogus"}, {"bogus", "QM1"}}) {
    auto unknown = Sim(args, env);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command bogus"), std::string::npos) << unknown.err;
  }
  for (const auto& args : {std::vector<std::string>{"fault", "NOPE", "crash"}, {"get", "NOPE", "Q"},
                           {"put", "NOPE", "Q", "x"}, {"display", "NOPE"}, {"stop", "NOPE"}, {"status", "NOPE"},
                           {"define", "NOPE", "QLOCAL(Q)"}, {"start", "NOPE"}}) {
    auto missing = Sim(args, env);
    EXPECT_EQ(missing.status, 1) << args[0];
    EXPECT_EQ(missing.err, "vrqsim: queue manager NOPE does not exist\n") << args[0];
  }
  ASSERT_EQ(Sim({"create", "QM.DOWN"}, env).status, 0);
  for (const auto& args : {std::vector<std::string>{"display", "QM.DOWN"}, {"get", "QM.DOWN", "Q"}}) {
    auto down = Sim(args, env);
    EXPECT_EQ(down.status, 1);
    EXPECT_NE(down.err.find("queue manager QM.DOWN is not running"), std::string::npos) << down.err;
  }
}

TEST(MqiCommandLine, AlterAndDeleteInTheDefinitionFile) {
  vrqtest::TempDir dir;
  const std::vector<std::string> env{"VRQSIM_DIR=" + dir.path()};
  vrqtest::WriteFile(dir.file("alter.mqsc"),
                     "ALTER QLOCAL(SYSTEM.DEFAULT.LOCAL.QUEUE) MAXDEPTH(7) DESCR('altered')\n"
                     "DEFINE QLOCAL(GONE)\nDELETE QLOCAL(GONE)\nDEFINE QMODEL(M1)\nALTER QMODEL(M1) DEFTYPE(PERMDYN)\n");
  ASSERT_EQ(Sim({"create", "QM.ALT", "-d", dir.file("alter.mqsc")}, env).status, 0);
  ASSERT_EQ(Sim({"start", "QM.ALT"}, env).status, 0);
  auto shown = Sim({"display", "QM.ALT"}, env);
  Sim({"stop", "QM.ALT"}, env);
  EXPECT_NE(shown.out.find("SYSTEM.DEFAULT.LOCAL.QUEUE  QLOCAL          0          7"), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find("GONE"), std::string::npos);

  // What cannot be carried out stops the start with the line named.
  const std::pair<const char*, const char*> bad[] = {
      {"ALTER QLOCAL(NOPE) MAXDEPTH(1)\n", "line 1: queue NOPE does not exist"},
      {"* first\nALTER QMODEL(SYSTEM.DEAD.LETTER.QUEUE) MAXDEPTH(1)\n", "line 2: queue SYSTEM.DEAD.LETTER.QUEUE is not a QMODEL queue"},
      {"DELETE QLOCAL(NOPE)\n", "line 1: queue NOPE does not exist"},
  };
  int n = 0;
  for (const auto& [text, error] : bad) {
    const std::string qm = "QM.BAD" + std::to_string(++n);
    vrqtest::WriteFile(dir.file(qm + ".mqsc"), text);
    ASSERT_EQ(Sim({"create", qm, "-d", dir.file(qm + ".mqsc")}, env).status, 0);
    auto start = Sim({"start", qm}, env);
    EXPECT_EQ(start.status, 1);
    EXPECT_NE(start.err.find(error), std::string::npos) << start.err;
  }
  vrqtest::WriteFile(dir.file("blank.mqsc"), "\v\f\n \v\n");  // blank lines of other white space
  EXPECT_EQ(Sim({"create", "QM.BLANK", "-d", dir.file("blank.mqsc")}, env).status, 0);
  vrqtest::WriteFile(dir.file("parse.mqsc"), "ALTER QLOCAL(Q) REPLACE\nDELETE QMODEL(M) PURGE\n");
  auto parse = Sim({"create", "QM.PARSE", "-d", dir.file("parse.mqsc")}, env);
  EXPECT_NE(parse.err.find("line 1: unknown keyword REPLACE"), std::string::npos) << parse.err;
}
