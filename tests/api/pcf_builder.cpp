// BuildPcfCmd: the parameters appended for each command, against hand-written PCF bytes.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqxc.h>
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
