// The operator's commands of vrqsim on a running queue manager: put, get and browse with
// the descriptor and data printed, display and depth, clear, and define, alter and delete
// of queues, each with the exit status a script can rely on.
#include <cmqc.h>

#include <chrono>
#include <cstdlib>

#include "mqi_test.h"

using namespace mqitest;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class MqiOperatorCommands : public ::testing::Test {
 protected:
  vrqtest::ProcessResult Sim(const std::vector<std::string>& args) { return qm.Command(args); }
  vrqtest::StandinQm qm{"QM.OPS", "DEFINE QLOCAL(APP.IN)\nDEFINE QLOCAL(APP.OUT) MAXDEPTH(3)\n"};
};

}  // namespace

TEST_F(MqiOperatorCommands, PutGetAndBrowse) {
  ASSERT_TRUE(qm.running());
  auto put = Sim({"put", "QM.OPS", "APP.IN", "hello world", "--reply-to", "APP.OUT", "--correl-id", "0a0B",
                  "--expiry", "600", "--persistent"});
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_TRUE(Has(put.out, "message put to APP.IN on QM.OPS, 11 bytes, MsgId X'414D5120")) << put.out;

  auto browse = Sim({"browse", "QM.OPS", "APP.IN"});
  ASSERT_EQ(browse.status, 0) << browse.err;
  for (const char* line : {"message 1\n", "  MsgType         1 (request)\n", "  Format          'MQSTR'\n",
                           "  Persistence     1\n", "  CorrelId        X'0A0B00000000000000000000000000000000000000000000'\n",
                           "  ReplyToQ        'APP.OUT'\n", "  BackoutCount    0\n", "  DataLength      11\n",
                           "  00000000  68 65 6C 6C 6F 20 77 6F 72 6C 64                 |hello world|\n"})
    EXPECT_TRUE(Has(browse.out, line)) << line << browse.out;
  // Counting down from 600 tenths: how far depends on how busy the machine is.
  const auto at = browse.out.find("  Expiry          ");
  ASSERT_NE(at, std::string::npos) << browse.out;
  const long expiry = std::strtol(browse.out.c_str() + at + 18, nullptr, 10);
  EXPECT_GT(expiry, 0) << browse.out;
  EXPECT_LE(expiry, 600) << browse.out;

  // The message the user put reaches an MQI program as it was put.
  Connection c("QM.OPS");
  MQHOBJ in;
  ASSERT_EQ(Open(c.hconn, "APP.IN", MQOO_INPUT_SHARED | MQOO_BROWSE, in).cc, MQCC_OK);
  Got g = Get(c.hconn, in, MQGMO_BROWSE_FIRST);
  EXPECT_EQ(g.data, "hello world");
  EXPECT_EQ(g.md.MsgType, MQMT_REQUEST);
  EXPECT_EQ(Field(g.md.ReplyToQ), "APP.OUT");

  // Binary data from a file, and counted gets that leave the rest.
  vrqtest::TempDir dir;
  vrqtest::WriteFile(dir.file("bin"), std::string("\x01\x02\0ABCDEFGHIJKLMNOPQRSTU", 24));
  ASSERT_EQ(Sim({"put", "QM.OPS", "APP.IN", "-f", dir.file("bin")}).status, 0);
  ASSERT_EQ(Sim({"put", "QM.OPS", "APP.IN", "third"}).status, 0);
  auto two = Sim({"get", "QM.OPS", "APP.IN", "--count", "2"});
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_TRUE(Has(two.out, "  00000000  01 02 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D  |...ABCDEFGHIJKLM|\n"
                           "  00000010  4E 4F 50 51 52 53 54 55                          |NOPQRSTU|\n")) << two.out;
  EXPECT_TRUE(Has(two.out, "message 2\n"));
  EXPECT_FALSE(Has(two.out, "message 3\n"));
  EXPECT_EQ(Depth(c.hconn, "APP.IN"), 1);
  EXPECT_EQ(Sim({"get", "QM.OPS", "APP.IN", "--count", "all"}).status, 0);

  // Nothing to get is a failure, after the wait asked for.
  const auto start = std::chrono::steady_clock::now();
  auto empty = Sim({"get", "QM.OPS", "APP.IN", "--wait", "300"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "vrqsim: no message on APP.IN (reason 2033 MQRC_NO_MSG_AVAILABLE)\n");

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"put", "QM.OPS", "APP.IN"}, "put needs the message"},
      {{"put", "QM.OPS", "APP.IN", "a", "b"}, "put takes one message"},
      {{"put", "QM.OPS", "APP.IN", "x", "--correl-id", "XYZ"}, "--correl-id takes"},
      {{"put", "QM.OPS", "APP.IN", "x", "--correl-id", std::string(50, 'A')}, "--correl-id takes"},
      {{"put", "QM.OPS", "APP.IN", "x", "--expiry", "0"}, "--expiry takes"},
      {{"put", "QM.OPS", "APP.IN", "x", "--bogus"}, "unknown or incomplete option --bogus"},
      {{"put", "QM.OPS", "APP.IN", "-f", dir.file("none")}, "cannot read"},
      {{"put", "QM.OPS", "APP.IN", "-f", dir.path()}, "cannot read"},
      {{"put", "QM.OPS", "NO.SUCH.Q", "x"}, "queue NO.SUCH.Q does not exist on QM.OPS"},
      {{"get", "QM.OPS", "APP.IN", "--count", "0"}, "--count takes"},
      {{"get", "QM.OPS", "APP.IN", "--wait", "-5"}, "--wait takes"},
      {{"browse", "QM.OPS"}, "browse needs a queue manager and a queue"},
  };
  for (const auto& [args, error] : refused) {
    auto r = Sim(args);
    EXPECT_EQ(r.status, 1) << args.back();
    EXPECT_TRUE(Has(r.err, error)) << r.err;
  }
  EXPECT_EQ(Depth(c.hconn, "APP.IN"), 0);
}

TEST_F(MqiOperatorCommands, DisplayClearDefineAlterDelete) {
  ASSERT_TRUE(qm.running());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Sim({"put", "QM.OPS", "APP.OUT", "m"}).status, 0);
  auto full = Sim({"put", "QM.OPS", "APP.OUT", "m"});
  EXPECT_EQ(full.status, 1);
  EXPECT_TRUE(Has(full.err, "reason 2053 MQRC_Q_FULL")) << full.err;

  auto depth = Sim({"depth", "QM.OPS", "APP.*"});
  EXPECT_EQ(depth.status, 0);
  EXPECT_EQ(depth.out,
            "QUEUE    TYPE     CURDEPTH   MAXDEPTH  IPPROCS  OPPROCS\n"
            "APP.IN   QLOCAL          0       5000        0        0\n"
            "APP.OUT  QLOCAL          3          3        0        0\n");
  EXPECT_EQ(Sim({"display", "QM.OPS"}).out, Sim({"depth", "QM.OPS", "*"}).out);
  auto status = Sim({"status", "QM.OPS"});
  EXPECT_TRUE(Has(status.out, "QM.OPS running (default)\n  QUEUE ")) << status.out;
  EXPECT_TRUE(Has(status.out, "\n  APP.OUT                     QLOCAL          3")) << status.out;
  auto none = Sim({"display", "QM.OPS", "NOPE*"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "vrqsim: no queue matches NOPE*\n");

  // Clear refuses a queue that an application has open.
  {
    Connection c("QM.OPS");
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "APP.OUT", MQOO_INPUT_SHARED, q).cc, MQCC_OK);
    EXPECT_EQ(Sim({"clear", "QM.OPS", "APP.OUT"}).status, 1);
  }
  auto cleared = Sim({"clear", "QM.OPS", "APP.OUT"});
  EXPECT_EQ(cleared.status, 0) << cleared.err;
  EXPECT_EQ(cleared.out, "queue APP.OUT cleared: 3 messages removed\n");
  EXPECT_EQ(Sim({"clear", "QM.OPS", "SYSTEM.DEFAULT.MODEL.QUEUE"}).status, 1);

  auto defined = Sim({"define", "QM.OPS", "QLOCAL(NEW.Q)", "MAXDEPTH(1)", "DESCR('made by hand')"});
  EXPECT_EQ(defined.out, "queue NEW.Q defined\n");
  EXPECT_EQ(Sim({"put", "QM.OPS", "NEW.Q", "1"}).status, 0);
  EXPECT_EQ(Sim({"put", "QM.OPS", "NEW.Q", "2"}).status, 1);
  EXPECT_EQ(Sim({"alter", "QM.OPS", "QLOCAL(NEW.Q)", "MAXDEPTH(5)"}).out, "queue NEW.Q altered\n");
  EXPECT_EQ(Sim({"put", "QM.OPS", "NEW.Q", "2"}).status, 0);

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"define", "QM.OPS", "QLOCAL(NEW.Q)"}, "queue NEW.Q already exists (add REPLACE to redefine it)"},
      {{"alter", "QM.OPS", "QMODEL(NEW.Q)", "MAXDEPTH(5)"}, "queue NEW.Q is not a QMODEL queue"},
      {{"alter", "QM.OPS", "QLOCAL(NEW.Q)", "MAXDEPTH(x)"}, "bad number for MAXDEPTH"},
      {{"alter", "QM.OPS", "QLOCAL(NONE.Q)", "MAXDEPTH(5)"}, "queue NONE.Q does not exist"},
      {{"delete", "QM.OPS", "QLOCAL(NEW.Q)"}, "queue NEW.Q is not empty (add PURGE to delete its messages too)"},
      {{"define", "QM.OPS", "QREMOTE(R)"}, "only QLOCAL and QMODEL queues are known"},
  };
  for (const auto& [args, error] : refused) {
    auto r = Sim(args);
    EXPECT_EQ(r.status, 1) << args[2];
    EXPECT_EQ(r.err, "vrqsim: " + error + "\n");
  }
  EXPECT_EQ(Sim({"define", "QM.OPS", "QLOCAL(NEW.Q)", "REPLACE", "MAXDEPTH(9)"}).out, "queue NEW.Q replaced\n");
  EXPECT_EQ(Sim({"delete", "QM.OPS", "QLOCAL(NEW.Q)", "PURGE"}).out, "queue NEW.Q deleted\n");
  EXPECT_EQ(Sim({"display", "QM.OPS", "NEW.Q"}).status, 1);
  EXPECT_EQ(Sim({"define", "QM.OPS", "QMODEL(NEW.MODEL)", "DEFTYPE(PERMDYN)"}).status, 0);
  EXPECT_TRUE(Has(Sim({"display", "QM.OPS", "NEW.MODEL"}).out, "NEW.MODEL  QMODEL          -       5000        -        -\n"));
}
