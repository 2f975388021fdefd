// The command server: PCF commands put to SYSTEM.ADMIN.COMMAND.QUEUE are answered with
// MQCFT_RESPONSE replies on the reply-to queue; malformed or unknown requests get error
// responses; stopped on its own, it leaves the command queue without an input opener.
#include <cmqc.h>
#include <cmqcfc.h>

#include <sstream>
#include <vector>

#include "mqi_test.h"

using namespace mqitest;

namespace {

// A PCF command built by hand, parameter by parameter.
struct Pcf {
  explicit Pcf(MQLONG command) {
    MQCFH h = {MQCFH_DEFAULT};
    h.Command = command;
    Raw(&h, sizeof h);
  }
  void Raw(const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); }
  void Count() {
    MQCFH h;
    std::memcpy(&h, bytes.data(), sizeof h);
    ++h.ParameterCount;
    std::memcpy(bytes.data(), &h, sizeof h);
  }
  Pcf& Int(MQLONG id, MQLONG v) {
    MQCFIN p = {MQCFIN_DEFAULT};
    p.Parameter = id;
    p.Value = v;
    Raw(&p, sizeof p);
    Count();
    return *this;
  }
  Pcf& Str(MQLONG id, const std::string& s) {
    const size_t padded = (s.size() + 3) & ~size_t{3};
    const MQLONG fixed[5] = {MQCFT_STRING, static_cast<MQLONG>(MQCFST_STRUC_LENGTH_FIXED + padded), id, 0,
                             static_cast<MQLONG>(s.size())};
    Raw(fixed, sizeof fixed);
    std::string text = s;
    text.resize(padded, ' ');
    Raw(text.data(), text.size());
    Count();
    return *this;
  }
  std::string bytes;
};

struct Response {
  MQCFH header{};
  MQMD md{};
  std::string data;
};

class MqiCommandServer : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{"QM.CMD", "DEFINE QLOCAL(REPLY.Q)\nDEFINE QLOCAL(APP.ONE)\nDEFINE QLOCAL(APP.TWO)\n"};
  Connection c{"QM.CMD"};
  MQHOBJ reply = MQHO_UNUSABLE_HOBJ;
  void SetUp() override { ASSERT_EQ(Open(c.hconn, "REPLY.Q", MQOO_INPUT_EXCLUSIVE, reply).cc, MQCC_OK); }

  MQMD Send(const std::string& data, const char* format = MQFMT_ADMIN) {
    MQMD md = {MQMD_DEFAULT};
    md.MsgType = MQMT_REQUEST;
    md.Report = MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID;
    std::memcpy(md.Format, format, 8);
    std::memcpy(md.MsgId, "PCF-REQUEST-1", 13);
    std::strncpy(md.ReplyToQ, "REPLY.Q", sizeof md.ReplyToQ);
    EXPECT_EQ(Put1(c.hconn, "SYSTEM.ADMIN.COMMAND.QUEUE", md, data).cc, MQCC_OK);
    return md;
  }
  std::vector<Response> Read() {
    std::vector<Response> out;
    for (;;) {
      Got g = Get(c.hconn, reply, MQGMO_WAIT, 3000, 64 * 1024);
      if (g.r.cc != MQCC_OK || g.data.size() < sizeof(MQCFH)) break;
      Response r;
      std::memcpy(&r.header, g.data.data(), sizeof r.header);
      r.md = g.md;
      r.data = g.data;
      out.push_back(r);
      if (r.header.Control == MQCFC_LAST) break;
    }
    return out;
  }
};

}  // namespace

TEST_F(MqiCommandServer, PingIsAnsweredWithPassedIdentifiers) {
  MQMD request = Send(Pcf(MQCMD_PING_Q_MGR).bytes);
  auto responses = Read();
  ASSERT_EQ(responses.size(), 1u);
  const Response& r = responses[0];
  EXPECT_EQ(r.header.Type, MQCFT_RESPONSE);
  EXPECT_EQ(r.header.Command, MQCMD_PING_Q_MGR);
  EXPECT_EQ(r.header.Control, MQCFC_LAST);
  EXPECT_EQ(r.header.CompCode, MQCC_OK);
  EXPECT_EQ(r.md.MsgType, MQMT_REPLY);
  EXPECT_EQ(std::string(r.md.Format, 8), MQFMT_ADMIN);
  EXPECT_EQ(std::memcmp(r.md.MsgId, request.MsgId, 24), 0);
  EXPECT_EQ(std::memcmp(r.md.CorrelId, request.CorrelId, 24), 0);
  EXPECT_EQ(Field(r.md.PutDate).size(), 8u);
}

TEST_F(MqiCommandServer, BadRequestsGetErrorResponses) {
  Send(Pcf(MQCMD_PING_Q_MGR).Str(MQCACF_ESCAPE_TEXT, "TTTT").bytes);
  auto padded = Read();
  ASSERT_EQ(padded.size(), 1u);
  EXPECT_EQ(padded[0].header.CompCode, MQCC_FAILED);
  EXPECT_EQ(padded[0].header.Reason, MQRCCF_CFST_PARM_ID_ERROR);

  Send(Pcf(MQCMD_PING_Q_MGR).bytes, MQFMT_STRING);
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_MD_FORMAT_ERROR);
  Send(Pcf(4711).bytes);
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_CFH_COMMAND_ERROR);
  Send("short");
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_MSG_LENGTH_ERROR);
  Pcf lying(MQCMD_PING_Q_MGR);
  lying.Count();  // claims a parameter it does not carry
  Send(lying.bytes);
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_CFH_PARM_COUNT_ERROR);
  Send(Pcf(MQCMD_DELETE_Q).bytes);
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_PARM_COUNT_TOO_SMALL);
}

TEST_F(MqiCommandServer, QueuesCreatedInquiredChangedDeleted) {
  Send(Pcf(MQCMD_CREATE_Q).Str(MQCA_Q_NAME, "ORVANE.MODEL.QUEUE").Int(MQIA_Q_TYPE, MQQT_MODEL)
           .Int(MQIA_DEFINITION_TYPE, MQQDT_TEMPORARY_DYNAMIC).Int(MQIA_DEF_INPUT_OPEN_OPTION, MQOO_INPUT_SHARED).bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  Send(Pcf(MQCMD_CREATE_Q).Str(MQCA_Q_NAME, "ORVANE.MODEL.QUEUE").Int(MQIA_Q_TYPE, MQQT_MODEL).bytes);
  EXPECT_EQ(Read().at(0).header.Reason, MQRCCF_OBJECT_ALREADY_EXISTS);
  MQOD od = QueueOd("ORVANE.MODEL.QUEUE");
  MQHOBJ dyn;
  EXPECT_EQ(Open(c.hconn, od, MQOO_INPUT_AS_Q_DEF, dyn).cc, MQCC_OK);

  Send(Pcf(MQCMD_CHANGE_Q).Str(MQCA_Q_NAME, "APP.ONE").Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_DESC, "changed").bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  Send(Pcf(MQCMD_INQUIRE_Q).Str(MQCA_Q_NAME, "APP.*").bytes);
  auto listed = Read();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].header.Control, MQCFC_NOT_LAST);
  EXPECT_EQ(listed[1].header.MsgSeqNumber, 2);
  EXPECT_NE(listed[0].data.find("APP.ONE"), std::string::npos);
  EXPECT_NE(listed[0].data.find("changed"), std::string::npos);

  Send(Pcf(MQCMD_INQUIRE_Q_NAMES).Str(MQCA_Q_NAME, "APP.*").bytes);
  auto names = Read();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_NE(names[0].data.find("APP.TWO"), std::string::npos);

  Send(Pcf(MQCMD_DELETE_Q).Str(MQCA_Q_NAME, "APP.TWO").bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  Send(Pcf(MQCMD_DELETE_Q).Str(MQCA_Q_NAME, "APP.TWO").bytes);
  EXPECT_EQ(Read().at(0).header.Reason, MQRC_UNKNOWN_OBJECT_NAME);
  Send(Pcf(MQCMD_INQUIRE_Q_MGR).bytes);
  EXPECT_NE(Read().at(0).data.find("QM.CMD"), std::string::npos);
}

TEST_F(MqiCommandServer, StoppedCommandServerLeavesNoInputOpener) {
  EXPECT_EQ(Depth(c.hconn, "SYSTEM.ADMIN.COMMAND.QUEUE"), 0);
  auto input_count = [&] {
    MQHOBJ o;
    Open(c.hconn, "SYSTEM.ADMIN.COMMAND.QUEUE", MQOO_INQUIRE, o);
    MQLONG sel = MQIA_OPEN_INPUT_COUNT, count = -1, cc, rc;
    MQINQ(c.hconn, o, 1, &sel, 1, &count, 0, nullptr, &cc, &rc);
    Close(c.hconn, o);
    return count;
  };
  EXPECT_EQ(input_count(), 1);
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  EXPECT_EQ(input_count(), 0);
  Send(Pcf(MQCMD_PING_Q_MGR).bytes);
  EXPECT_EQ(Get(c.hconn, reply, MQGMO_WAIT, 300).r.rc, MQRC_NO_MSG_AVAILABLE);
  ASSERT_TRUE(qm.Fault({"cmdserver", "start"}));
  EXPECT_EQ(Read().size(), 1u);  // the waiting ping is answered
}

// Queues created, changed and deleted by PCF are in the recovery log: a crash keeps them.
TEST_F(MqiCommandServer, QueueChangesSurviveACrash) {
  Send(Pcf(MQCMD_CREATE_Q).Str(MQCA_Q_NAME, "APP.NEW").Int(MQIA_Q_TYPE, MQQT_LOCAL).Int(MQIA_MAX_Q_DEPTH, 33).bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  Send(Pcf(MQCMD_CHANGE_Q).Str(MQCA_Q_NAME, "APP.ONE").Int(MQIA_Q_TYPE, MQQT_LOCAL).Int(MQIA_MAX_Q_DEPTH, 44).bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  Send(Pcf(MQCMD_DELETE_Q).Str(MQCA_Q_NAME, "APP.TWO").bytes);
  EXPECT_EQ(Read().at(0).header.CompCode, MQCC_OK);
  ASSERT_TRUE(qm.Fault({"crash"}));
  ASSERT_TRUE(qm.Start());
  const std::string table = qm.Command({"display", "QM.CMD", "APP.*"}).out;
  auto row = [&](const std::string& queue) {
    const size_t at = table.find("\n" + queue + " ");
    if (at == std::string::npos) return std::string();
    std::istringstream fields(table.substr(at + 1, table.find('\n', at + 1) - at - 1));
    std::string name, type, depth, max_depth;
    fields >> name >> type >> depth >> max_depth;
    return max_depth;
  };
  EXPECT_EQ(row("APP.NEW"), "33") << table;
  EXPECT_EQ(row("APP.ONE"), "44") << table;
  EXPECT_EQ(row("APP.TWO"), "") << table;
}
