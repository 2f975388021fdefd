// BuildPcfCmd: the parameters appended for each command, against hand-written PCF bytes.
#include <gtest/gtest.h>

#include <cmqcfc.h>

#include <string>
#include <vector>

#include "pcf_convert_wire.h"
#include "vrqapi.h"

namespace {

struct Built {
  PcfMessage* msg = nullptr;
  int result = 0;
  explicit Built(int command, const char* name, int value) {
    msg = CreatePcfMessage(command, MQCFT_COMMAND, 0);
    result = BuildPcfCmd(msg, name, value);
  }
  ~Built() { DeletePcfMessage(msg); }
  std::vector<unsigned char> Bytes() const {
    const auto* p = reinterpret_cast<const unsigned char*>(msg->PcfMsg.pData);
    return {p, p + msg->PcfMsg.lMsgLength - MDHDR_LENGTH};
  }
  int Count() const { return msg->pPcfHdr->ParameterCount; }
};

}  // namespace

TEST(PcfBuilder, InquireQueueBytesWithAndWithoutType) {
  Built plain(MQCMD_INQUIRE_Q, "Q1", 0);
  ASSERT_EQ(plain.result, 1);
  pcfwire::Writer two(false, false);
  two.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_Q, 2);
  two.Str(MQCA_Q_NAME, "Q1");
  two.IntList(MQIACF_Q_ATTRS, {MQIACF_ALL});
  EXPECT_EQ(plain.Bytes(), two.bytes());

  Built typed(MQCMD_INQUIRE_Q, "Q1", MQQT_LOCAL);
  pcfwire::Writer three(false, false);
  three.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_Q, 3);
  three.Str(MQCA_Q_NAME, "Q1");
  three.Int(MQIA_Q_TYPE, MQQT_LOCAL);
  three.IntList(MQIACF_Q_ATTRS, {MQIACF_ALL});
  EXPECT_EQ(typed.Bytes(), three.bytes());
}

TEST(PcfBuilder, ChannelTypeOnlyForClientConnection) {
  Built clntconn(MQCMD_INQUIRE_CHANNEL, "TO.QM2", MQCHT_CLNTCONN);
  pcfwire::Writer w(false, false);
  w.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_CHANNEL, 3);
  w.Str(MQCACH_CHANNEL_NAME, "TO.QM2");
  w.Int(MQIACH_CHANNEL_TYPE, MQCHT_CLNTCONN);
  w.IntList(MQIACF_CHANNEL_ATTRS, {MQIACF_ALL});
  EXPECT_EQ(clntconn.Bytes(), w.bytes());

  Built sender(MQCMD_INQUIRE_CHANNEL, "TO.QM2", MQCHT_SENDER);
  EXPECT_EQ(sender.Count(), 2);
  Built names(MQCMD_INQUIRE_CHANNEL_NAMES, "*", MQCHT_SENDER);
  EXPECT_EQ(names.Count(), 1);
}

// A queue-status inquiry takes the queue-status attribute list and an integer status
// type; a topic-status inquiry names the topic string. Anything else is rejected by a
// command server.
TEST(PcfBuilder, StatusInquiriesUseTheCommandServersForm) {
  Built queue(MQCMD_INQUIRE_Q_STATUS, "APP.*", 0);
  pcfwire::Writer q(false, false);
  q.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_Q_STATUS, 3);
  q.Str(MQCA_Q_NAME, "APP.*");
  q.IntList(MQIACF_Q_STATUS_ATTRS, {MQIACF_ALL});
  q.Int(MQIACF_Q_STATUS_TYPE, MQIACF_Q_STATUS);
  EXPECT_EQ(queue.Bytes(), q.bytes());

  Built topic(MQCMD_INQUIRE_TOPIC_STATUS, "price/#", 0);
  pcfwire::Writer t(false, false);
  t.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_TOPIC_STATUS, 3);
  t.Str(MQCA_TOPIC_STRING, "price/#");
  t.IntList(MQIACF_TOPIC_STATUS_ATTRS, {MQIACF_ALL});
  t.Int(MQIACF_TOPIC_STATUS_TYPE, MQIACF_TOPIC_STATUS);
  EXPECT_EQ(topic.Bytes(), t.bytes());
}

TEST(PcfBuilder, AuthorityRecordsEscapeAndClusterName) {
  Built auth(MQCMD_INQUIRE_AUTH_RECS, "APP.**", 0);
  pcfwire::Writer a(false, false);
  a.Cfh(MQCFT_COMMAND, MQCMD_INQUIRE_AUTH_RECS, 3);
  a.Int(MQIACF_AUTH_OPTIONS,
        MQAUTHOPT_NAME_AS_WILDCARD | MQAUTHOPT_NAME_ALL_MATCHING | MQAUTHOPT_ENTITY_EXPLICIT);
  a.Str(MQCACF_AUTH_PROFILE_NAME, "APP.**");
  a.Int(MQIACF_OBJECT_TYPE, MQOT_ALL);
  EXPECT_EQ(auth.Bytes(), a.bytes());
  Built queues(MQCMD_INQUIRE_AUTH_RECS, "APP.**", MQOT_Q);
  MESSAGE attr{};
  ASSERT_EQ(GetAttrByID(MQIACF_OBJECT_TYPE, &attr, queues.msg), 1);
  int value = 0;
  EXPECT_EQ(GetPcfIntAttrValue(&attr, &value), 1);
  EXPECT_EQ(value, MQOT_Q);
  DeleteMessage(&attr);

  Built escape(MQCMD_ESCAPE, "DISPLAY QMGR", 0);
  pcfwire::Writer e(false, false);
  e.Cfh(MQCFT_COMMAND, MQCMD_ESCAPE, 2);
  e.Int(MQIACF_ESCAPE_TYPE, MQET_MQSC);
  e.Str(MQCACF_ESCAPE_TEXT, "DISPLAY QMGR");
  EXPECT_EQ(escape.Bytes(), e.bytes());

  Built suspend(MQCMD_SUSPEND_Q_MGR_CLUSTER, "CLUS.NL", MQCA_CLUSTER_NAMELIST);
  pcfwire::Writer s(false, false);
  s.Cfh(MQCFT_COMMAND, MQCMD_SUSPEND_Q_MGR_CLUSTER, 1);
  s.Str(MQCA_CLUSTER_NAMELIST, "CLUS.NL");
  EXPECT_EQ(suspend.Bytes(), s.bytes());
}

TEST(PcfBuilder, CommandsWithoutParametersAndUnknownCommands) {
  Built ping(MQCMD_PING_Q_MGR, "X", 0);
  EXPECT_EQ(ping.result, 1);
  EXPECT_EQ(ping.Count(), 0);
  Built refresh(MQCMD_REFRESH_SECURITY, "X", 0);
  EXPECT_EQ(refresh.result, 1);
  EXPECT_EQ(refresh.Count(), 0);
  Built unknown(9999, "X", 0);
  EXPECT_EQ(unknown.result, 0);
  EXPECT_EQ(unknown.Count(), 0);
  Built create(MQCMD_CREATE_Q, "X", 0);
  EXPECT_EQ(create.result, 0);
  EXPECT_EQ(BuildPcfCmd(nullptr, "X", 0), 0);
  Built noName(MQCMD_START_CHANNEL, nullptr, 0);
  EXPECT_EQ(noName.result, 1);
  EXPECT_EQ(noName.Count(), 1);
}

TEST(PcfBuilder, EveryRowIndexesAndKeepsVersionOne) {
  const int commands[] = {
      2,     7,     13,    17,    18,    19,    20,    25,    26,    27,    28,    29,    30,
      31,    36,    37,    38,    39,    41,    42,    70,    71,    72,    73,    74,    83,
      84,    87,    92,    97,    98,    142,   153,   154,   155,   156,   161,   174,   175,
      176,   182,   183,   185,   10001, 10002, 10003, 10004, 10005, 10006, 10007, 10008, 10009,
      10012, 10013, 10014, 10021, 10022, 10024, 10105, 10106, 10129, 10130, 10160, 10162, 10164,
      10170, 10180, 10190, 10200, 10400, 10402, 10410, 10412, 10414};
  for (int command : commands) {
    Built b(command, "NAME", MQCA_CLUSTER_NAME);
    EXPECT_EQ(b.result, 1) << command;
    EXPECT_GT(b.Count(), 0) << command;
    EXPECT_EQ(b.msg->pPcfHdr->Version, 1) << command;
    EXPECT_EQ(RawToPcf(b.msg), 1) << command;
  }
}

namespace {

// One expected parameter: a string holding the name argument, an integer, or an integer
// list of one element.
struct Param {
  char kind;  // 'S', 'I' or 'L'
  int id;
  int value;
};
constexpr Param S(int id) { return {'S', id, 0}; }
constexpr Param I(int id, int value) { return {'I', id, value}; }
constexpr Param L(int id, int value) { return {'L', id, value}; }

struct Expected {
  int command;
  int value;  // the integer argument given to the builder
  std::vector<Param> params;
};

constexpr int kValue = 5;  // an integer argument that every "= value" row passes through

// What each command takes, written from IBM's "Definitions of the Programmable Command
// Formats" (the object name under the identifier the command documents for it, the
// attribute-list parameter of each inquiry with MQIACF_ALL, and the integer arguments under
// their documented identifiers), and for the toolkit's own commands from their definitions.
const std::vector<Expected>& Reference() {
  static const std::vector<Expected> rows = {
      {MQCMD_INQUIRE_Q_MGR, 0, {L(MQIACF_Q_MGR_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_PROCESS, 0, {S(MQCA_PROCESS_NAME), L(MQIACF_PROCESS_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_Q, MQQT_ALIAS, {S(MQCA_Q_NAME), I(MQIA_Q_TYPE, MQQT_ALIAS), L(MQIACF_Q_ATTRS, MQIACF_ALL)}},
      {MQCMD_RESET_Q_STATS, 0, {S(MQCA_Q_NAME)}},
      {MQCMD_INQUIRE_Q_NAMES, 0, {S(MQCA_Q_NAME), I(MQIA_Q_TYPE, MQQT_ALL)}},
      {MQCMD_INQUIRE_PROCESS_NAMES, 0, {S(MQCA_PROCESS_NAME)}},
      {MQCMD_INQUIRE_CHANNEL_NAMES, MQCHT_CLNTCONN, {S(MQCACH_CHANNEL_NAME), I(MQIACH_CHANNEL_TYPE, MQCHT_CLNTCONN)}},
      {MQCMD_INQUIRE_CHANNEL, MQCHT_CLNTCONN,
       {S(MQCACH_CHANNEL_NAME), I(MQIACH_CHANNEL_TYPE, MQCHT_CLNTCONN), L(MQIACF_CHANNEL_ATTRS, MQIACF_ALL)}},
      {MQCMD_PING_CHANNEL, kValue, {S(MQCACH_CHANNEL_NAME), I(MQIACH_DATA_COUNT, kValue)}},
      {MQCMD_RESET_CHANNEL, kValue, {S(MQCACH_CHANNEL_NAME), I(MQIACH_MSG_SEQUENCE_NUMBER, kValue)}},
      {MQCMD_START_CHANNEL, 0, {S(MQCACH_CHANNEL_NAME)}},
      {MQCMD_STOP_CHANNEL, MQMODE_FORCE, {S(MQCACH_CHANNEL_NAME), I(MQIACF_MODE, MQMODE_FORCE)}},
      {MQCMD_START_CHANNEL_INIT, 0, {S(MQCA_INITIATION_Q_NAME)}},
      {MQCMD_START_CHANNEL_LISTENER, 0, {S(MQCACH_LISTENER_NAME)}},
      {MQCMD_INQUIRE_NAMELIST, 0, {S(MQCA_NAMELIST_NAME), L(MQIACF_NAMELIST_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_NAMELIST_NAMES, 0, {S(MQCA_NAMELIST_NAME)}},
      {MQCMD_ESCAPE, 0, {I(MQIACF_ESCAPE_TYPE, MQET_MQSC), S(MQCACF_ESCAPE_TEXT)}},
      {10014, 0, {I(MQIACF_ESCAPE_TYPE, MQET_MQSC), S(MQCACF_ESCAPE_TEXT)}},  // an MQSC script
      {MQCMD_RESOLVE_CHANNEL, MQIDO_BACKOUT, {S(MQCACH_CHANNEL_NAME), I(MQIACH_IN_DOUBT, MQIDO_BACKOUT)}},
      {MQCMD_INQUIRE_Q_STATUS, 0,
       {S(MQCA_Q_NAME), L(MQIACF_Q_STATUS_ATTRS, MQIACF_ALL), I(MQIACF_Q_STATUS_TYPE, MQIACF_Q_STATUS)}},
      {MQCMD_INQUIRE_CHANNEL_STATUS, 0, {S(MQCACH_CHANNEL_NAME), L(MQIACH_CHANNEL_INSTANCE_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_CLUSTER_Q_MGR, 0, {S(MQCA_CLUSTER_Q_MGR_NAME), L(MQIACF_CLUSTER_Q_MGR_ATTRS, MQIACF_ALL)}},
      {MQCMD_RESUME_Q_MGR_CLUSTER, MQCA_CLUSTER_NAME, {S(MQCA_CLUSTER_NAME)}},
      {MQCMD_SUSPEND_Q_MGR_CLUSTER, MQCA_CLUSTER_NAMELIST, {S(MQCA_CLUSTER_NAMELIST)}},
      {MQCMD_REFRESH_CLUSTER, 0, {S(MQCA_CLUSTER_NAME)}},
      {MQCMD_RESET_CLUSTER, 0, {S(MQCA_CLUSTER_NAME)}},
      {MQCMD_INQUIRE_AUTH_INFO, 0, {S(MQCA_AUTH_INFO_NAME), L(MQIACF_AUTH_INFO_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_AUTH_INFO_NAMES, 0, {S(MQCA_AUTH_INFO_NAME)}},
      {MQCMD_INQUIRE_AUTH_RECS, MQOT_Q,
       {I(MQIACF_AUTH_OPTIONS, MQAUTHOPT_NAME_AS_WILDCARD | MQAUTHOPT_NAME_ALL_MATCHING | MQAUTHOPT_ENTITY_EXPLICIT),
        S(MQCACF_AUTH_PROFILE_NAME), I(MQIACF_OBJECT_TYPE, MQOT_Q)}},
      {MQCMD_RESET_Q_MGR, MQACT_ADVANCE_LOG, {I(MQIACF_ACTION, MQACT_ADVANCE_LOG)}},
      {MQCMD_INQUIRE_LISTENER, 0, {S(MQCACH_LISTENER_NAME), L(MQIACF_LISTENER_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_LISTENER_STATUS, 0, {S(MQCACH_LISTENER_NAME), L(MQIACF_LISTENER_STATUS_ATTRS, MQIACF_ALL)}},
      {MQCMD_STOP_CHANNEL_LISTENER, 0, {S(MQCACH_LISTENER_NAME)}},
      {MQCMD_INQUIRE_SERVICE, 0, {S(MQCA_SERVICE_NAME), L(MQIACF_SERVICE_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_SERVICE_STATUS, 0, {S(MQCA_SERVICE_NAME), L(MQIACF_SERVICE_STATUS_ATTRS, MQIACF_ALL)}},
      {MQCMD_START_SERVICE, 0, {S(MQCA_SERVICE_NAME)}},
      {MQCMD_STOP_SERVICE, 0, {S(MQCA_SERVICE_NAME)}},
      {MQCMD_INQUIRE_Q_MGR_STATUS, 0, {L(MQIACF_Q_MGR_STATUS_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_TOPIC, 0, {S(MQCA_TOPIC_NAME), L(MQIACF_TOPIC_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_TOPIC_NAMES, 0, {S(MQCA_TOPIC_NAME)}},
      {MQCMD_INQUIRE_SUBSCRIPTION, 0, {S(MQCACF_SUB_NAME), L(MQIACF_SUB_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_SUB_STATUS, 0, {S(MQCACF_SUB_NAME), L(MQIACF_SUB_STATUS_ATTRS, MQIACF_ALL)}},
      {MQCMD_INQUIRE_TOPIC_STATUS, 0,
       {S(MQCA_TOPIC_STRING), L(MQIACF_TOPIC_STATUS_ATTRS, MQIACF_ALL), I(MQIACF_TOPIC_STATUS_TYPE, MQIACF_TOPIC_STATUS)}},
      {MQCMD_INQUIRE_PUBSUB_STATUS, 0, {L(MQIACF_PUBSUB_STATUS_ATTRS, MQIACF_ALL)}},
      // The toolkit's own commands: an MCA by its name, a queue manager by its name, with the
      // toolkit's identifiers (20000 and above) for their integers.
      {10001, 0, {S(MQCACH_MCA_NAME)}},
      {10002, 0, {S(MQCACH_MCA_NAME)}},
      {10003, 0, {S(MQCA_Q_MGR_NAME)}},
      {10004, kValue, {S(MQCA_Q_MGR_NAME), I(20141, kValue)}},
      {10005, 0, {S(MQCA_Q_MGR_NAME)}},
      {10006, 0, {S(MQCA_Q_MGR_NAME)}},
      {10007, 0, {S(MQCA_Q_MGR_NAME)}},
      {10008, kValue, {S(MQCA_Q_MGR_NAME), I(20101, kValue)}},
      {10009, kValue, {S(MQCA_Q_MGR_NAME), I(20101, kValue)}},
      {10012, 0, {S(MQCA_Q_MGR_NAME)}},
      {10013, 0, {S(MQCA_Q_MGR_NAME)}},
      {10021, 0, {S(MQCACH_LISTENER_NAME)}},
      {10022, 0, {S(MQCA_SERVICE_NAME)}},
      {10024, 0, {S(MQCACF_SUB_NAME)}},
      {10105, 0, {S(20006)}},
      {10106, 0, {S(20006)}},
      {10129, kValue, {S(20007), I(20135, kValue)}},
      {10130, 0, {S(20007)}},
      {10160, kValue, {I(20110, kValue)}},
      {10162, kValue, {I(20110, kValue)}},
      {10164, kValue, {I(20110, kValue)}},
      {10170, kValue, {I(20110, kValue)}},
      {10180, kValue, {I(20110, kValue)}},
      {10190, kValue, {I(20110, kValue)}},
      {10200, kValue, {I(20110, kValue)}},
      {10400, kValue, {I(20110, kValue)}},
      {10402, kValue, {I(20110, kValue)}},
      {10410, kValue, {I(20110, kValue)}},
      {10412, kValue, {I(20110, kValue)}},
      {10414, kValue, {I(20110, kValue)}},
  };
  return rows;
}

}  // namespace

// Every row, byte for byte: a wrong identifier, type, value or order of any parameter
// fails here, not only a missing one.
TEST(PcfBuilder, EveryCommandAgainstTheReference) {
  const std::string name = "OBJECT.NAME";
  for (const Expected& row : Reference()) {
    SCOPED_TRACE("command " + std::to_string(row.command));
    Built built(row.command, name.c_str(), row.value);
    EXPECT_EQ(built.result, 1);
    pcfwire::Writer w(false, false);
    w.Cfh(MQCFT_COMMAND, row.command, static_cast<int>(row.params.size()));
    for (const Param& p : row.params) {
      if (p.kind == 'S') w.Str(p.id, name);
      if (p.kind == 'I') w.Int(p.id, p.value);
      if (p.kind == 'L') w.IntList(p.id, {p.value});
    }
    EXPECT_EQ(built.Bytes(), w.bytes());
  }
}
