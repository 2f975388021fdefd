// PCF commands to MQSC text: the documented examples, continuation lines, the ALTDATE
// clause, the escape command, the failure codes, quoting of values, and the alteration
// test of discovery.
#include <gtest/gtest.h>

#include <cmqxc.h>

#include <ctime>

#include "mqsc_pcf_support.h"
#include "vrqtest.h"

namespace {

using mqsctest::Pcf;
using mqsctest::ToMqsc;

TEST(MqscPcfToText, DocumentedExamples) {
  Pcf alter(MQCMD_CHANGE_Q_MGR);
  alter.Str(MQCA_Q_MGR_DESC, "Test").Int(MQIACF_FORCE, 0);
  auto r = ToMqsc(alter);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.reason, 0);
  EXPECT_EQ(r.text, "ALTER QMGR FORCE DESCR('Test')");

  Pcf define(MQCMD_CREATE_Q);
  define.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "A.Q").Str(MQCA_Q_DESC, "x");
  EXPECT_EQ(ToMqsc(define).text, "DEFINE QLOCAL('A.Q') DESCR('x')");

  Pcf display(MQCMD_INQUIRE_Q);
  display.Str(MQCA_Q_NAME, "A*").IntList(MQIACF_Q_ATTRS, {MQIACF_ALL});
  EXPECT_EQ(ToMqsc(display).text, "DISPLAY QUEUE('A*') ALL");
}

TEST(MqscPcfToText, QueueTypeAllIsLeftOutAndOthersAreWritten) {
  Pcf all(MQCMD_INQUIRE_Q);
  all.Str(MQCA_Q_NAME, "Q*").Int(MQIA_Q_TYPE, MQQT_ALL).IntList(MQIACF_Q_ATTRS, {MQIA_CURRENT_Q_DEPTH, MQCA_Q_DESC});
    // Selectors come out in table order, not in the order of the list.
  EXPECT_EQ(ToMqsc(all).text, "DISPLAY QUEUE('Q*') CURDEPTH DESCR");

  Pcf local(MQCMD_INQUIRE_Q);
  local.Str(MQCA_Q_NAME, "Q*").Int(MQIA_Q_TYPE, MQQT_LOCAL);
  EXPECT_EQ(ToMqsc(local).text, "DISPLAY QUEUE('Q*') TYPE(QLOCAL)");

  Pcf names(MQCMD_INQUIRE_Q_NAMES);
  names.Str(MQCA_Q_NAME, "*").Int(MQIA_Q_TYPE, MQQT_ALL);
  EXPECT_EQ(ToMqsc(names).text, "DISPLAY QUEUE('*')");
}

TEST(MqscPcfToText, ValuesByType) {
  Pcf channel(MQCMD_CREATE_CHANNEL);
  channel.Str(MQCACH_CHANNEL_NAME, "TO.QM2")
      .Int(MQIACH_CHANNEL_TYPE, MQCHT_SENDER)
      .Int(MQIACH_KEEP_ALIVE_INTERVAL, -1)
      .IntList(MQIACH_HDR_COMPRESSION, {MQCOMPRESS_NONE, MQCOMPRESS_SYSTEM})
      .Str(MQCACH_DESC, "it's   ")
      .Int(MQIACH_BATCH_SIZE, 50);
  auto r = ToMqsc(channel);
  EXPECT_EQ(r.reason, 0);
  EXPECT_NE(r.text.find("DEFINE CHANNEL('TO.QM2') "), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(" CHLTYPE(SDR)"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(" KAINT(AUTO)"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(" BATCHSZ(50)"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(" COMPHDR(NONE,SYSTEM)"), std::string::npos) << r.text;
  // Trailing blanks go; an embedded quote is doubled so the value cannot end early.
  EXPECT_NE(r.text.find(" DESCR('it''s')"), std::string::npos) << r.text;

  Pcf empty(MQCMD_CHANGE_Q_MGR);
  empty.Str(MQCA_Q_MGR_DESC, "");
  EXPECT_EQ(ToMqsc(empty).text, "ALTER QMGR DESCR(' ')");

  // Nothing is left out: a number the keyword has no name for, and a parameter the command
  // has no keyword for, stop the translation at their structure.
  Pcf unknown(MQCMD_CHANGE_Q_MGR);
  unknown.Str(MQCA_Q_MGR_DESC, "d").Int(MQIA_AUTHORITY_EVENT, 77);
  auto u = ToMqsc(unknown);
  EXPECT_EQ(u.status, 2);
  EXPECT_EQ(u.reason, 5002);
  EXPECT_EQ(u.count, 2);
  Pcf foreign(MQCMD_CHANGE_Q_MGR);
  foreign.Int(9999, 1).Str(MQCA_Q_MGR_DESC, "d");
  auto f = ToMqsc(foreign);
  EXPECT_EQ(f.status, 2);
  EXPECT_EQ(f.reason, 5008);
  EXPECT_EQ(f.count, 1);
  // A keyword only a response carries cannot be sent either.
  Pcf counter(MQCMD_RESET_Q_STATS);
  counter.Str(MQCA_Q_NAME, "Q").Int(MQIA_HIGH_Q_DEPTH, 5);
  EXPECT_EQ(ToMqsc(counter).reason, 5008);
}

// Values MQSC names are written by name, filters with their values, exits as lists.
TEST(MqscPcfToText, NamedValuesFiltersAndListsAsIbmWritesThem) {
  Pcf qmgr(MQCMD_CHANGE_Q_MGR);
  qmgr.Int(MQIA_CHINIT_CONTROL, MQSVC_CONTROL_MANUAL).Int(MQIA_STATISTICS_Q, MQMON_NONE);
  EXPECT_EQ(ToMqsc(qmgr).text, "ALTER QMGR SCHINIT(MANUAL) STATQ(NONE)");

  // Numbers MQSC names: EXPRYINT(0) and MAXPROPL(-1) are not IBM's syntax.
  Pcf named(MQCMD_CHANGE_Q_MGR);
  named.Int(MQIA_EXPIRY_INTERVAL, 0).Int(MQIA_MAX_PROPERTIES_LENGTH, MQPROP_UNRESTRICTED_LENGTH);
  auto n = ToMqsc(named);
  EXPECT_NE(n.text.find(" EXPRYINT(OFF)"), std::string::npos) << n.text;
  EXPECT_NE(n.text.find(" MAXPROPL(NOLIMIT)"), std::string::npos) << n.text;

  // NONE is a queue manager's value only: a queue takes QMGR, OFF or ON.
  Pcf queue(MQCMD_CHANGE_Q);
  queue.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "Q").Int(MQIA_STATISTICS_Q, MQMON_NONE);
  EXPECT_EQ(ToMqsc(queue).reason, 5002);

  Pcf topic(MQCMD_CHANGE_TOPIC);
  topic.Str(MQCA_TOPIC_NAME, "T")
      .Int(MQIA_DURABLE_SUB, MQSUB_DURABLE_ALLOWED)
      .Int(MQIA_PROXY_SUB, MQTA_PROXY_SUB_FIRSTUSE)
      .Int(MQIA_WILDCARD_OPERATION, MQTA_PASSTHRU);
  auto t = ToMqsc(topic);
  EXPECT_NE(t.text.find(" DURSUB(YES)"), std::string::npos) << t.text;
  EXPECT_NE(t.text.find(" PROXYSUB(FIRSTUSE)"), std::string::npos) << t.text;
  EXPECT_NE(t.text.find(" WILDCARD(PASSTHRU)"), std::string::npos) << t.text;

  Pcf handles(MQCMD_INQUIRE_Q_STATUS);
  handles.Str(MQCA_Q_NAME, "Q1").Int(MQIACF_Q_STATUS_TYPE, MQIACF_Q_HANDLE);
  EXPECT_EQ(ToMqsc(handles).text, "DISPLAY QSTATUS('Q1') TYPE(HANDLE)");

  // The channel type filter is TYPE; CHLTYPE is the attribute a response carries anyway.
  Pcf senders(MQCMD_INQUIRE_CHANNEL);
  senders.Str(MQCACH_CHANNEL_NAME, "C*").Int(MQIACH_CHANNEL_TYPE, MQCHT_SENDER);
  EXPECT_EQ(ToMqsc(senders).text, "DISPLAY CHANNEL('C*') TYPE(SDR)");
  Pcf asked(MQCMD_INQUIRE_CHANNEL);
  asked.Str(MQCACH_CHANNEL_NAME, "C*").IntList(MQIACF_CHANNEL_ATTRS, {MQIACH_CHANNEL_TYPE, MQCACH_DESC});
  EXPECT_EQ(ToMqsc(asked).text, "DISPLAY CHANNEL('C*') CHLTYPE DESCR");

  // CLUSTER is both a filter and an attribute one can ask for.
  Pcf clustered(MQCMD_INQUIRE_Q);
  clustered.Str(MQCA_Q_NAME, "Q*").Str(MQCA_CLUSTER_NAME, "C1").IntList(MQIACF_Q_ATTRS, {MQCA_CLUSTER_NAME});
  EXPECT_EQ(ToMqsc(clustered).text, "DISPLAY QUEUE('Q*') CLUSTER('C1') CLUSTER");

  Pcf saved(MQCMD_INQUIRE_CHANNEL_STATUS);
  saved.Str(MQCACH_CHANNEL_NAME, "C").Int(MQIACH_CHANNEL_INSTANCE_TYPE, MQOT_SAVED_CHANNEL);
  EXPECT_EQ(ToMqsc(saved).text, "DISPLAY CHSTATUS('C') SAVED");

  Pcf receiver(MQCMD_CREATE_CHANNEL);
  receiver.Str(MQCACH_CHANNEL_NAME, "R")
      .Int(MQIACH_CHANNEL_TYPE, MQCHT_RECEIVER)
      .Int(MQIACH_PUT_AUTHORITY, MQPA_ALTERNATE_OR_MCA)
      .StrList(MQCACH_MSG_EXIT_NAME, {"lib(a)", "B"}, 16)
      .Str(MQCACH_RCV_EXIT_NAME, "one");
  auto c = ToMqsc(receiver);
  EXPECT_NE(c.text.find(" PUTAUT(ALTMCA)"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" MSGEXIT('lib(a)', 'B')"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" RCVEXIT('one')"), std::string::npos) << c.text;

  // LIVE and ALL only select in DISPLAY; a definition is placed in one disposition.
  Pcf live(MQCMD_CREATE_CHANNEL);
  live.Str(MQCACH_CHANNEL_NAME, "S").Int(MQIACH_CHANNEL_TYPE, MQCHT_SENDER).Int(MQIA_QSG_DISP, MQQSGD_LIVE);
  EXPECT_EQ(ToMqsc(live).reason, 5002);

  Pcf refresh(10684);  // REFRESH SECURITY
  refresh.Int(MQIACF_SECURITY_ITEM, MQSECITEM_MQQUEUE).Int(MQIACF_SECURITY_TYPE, MQSECTYPE_CLASSES);
  EXPECT_EQ(ToMqsc(refresh).text, "REFRESH SECURITY (MQQUEUE) TYPE(CLASSES)");

  Pcf process(MQCMD_CREATE_PROCESS);
  process.Str(MQCA_PROCESS_NAME, "P").Int(MQIA_APPL_TYPE, MQAT_CICS);
  EXPECT_EQ(ToMqsc(process).text, "DEFINE PROCESS('P') APPLTYPE(CICS)");
}

// A keyword IBM's command for the queue's type does not take is refused, not written.
TEST(MqscPcfToText, QueueKeywordsFollowTheQueueType) {
  Pcf alias(MQCMD_CREATE_Q);
  alias.Int(MQIA_Q_TYPE, MQQT_ALIAS).Str(MQCA_Q_NAME, "A").Str(MQCA_BASE_Q_NAME, "T");
  EXPECT_EQ(ToMqsc(alias).text, "DEFINE QALIAS('A') TARGQ('T')");
  Pcf local(MQCMD_CREATE_Q);
  local.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "A").Str(MQCA_BASE_Q_NAME, "T");
  auto r = ToMqsc(local);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5008);
  // Only the four object types exist for a definition.
  Pcf cluster(MQCMD_CREATE_Q);
  cluster.Int(MQIA_Q_TYPE, MQQT_CLUSTER).Str(MQCA_Q_NAME, "A");
  EXPECT_EQ(ToMqsc(cluster).reason, 5002);
}

TEST(MqscPcfToText, StringListLeavesOutEmptyStringsAndCutsAtBlank) {
  Pcf nl(MQCMD_CREATE_NAMELIST);
  nl.Str(MQCA_NAMELIST_NAME, "NL1").StrList(MQCA_NAMES, {"A", "", "B C"}, 48);
  EXPECT_EQ(ToMqsc(nl).text, "DEFINE NAMELIST('NL1') NAMES('A', 'B')");

  Pcf none(MQCMD_CREATE_NAMELIST);
  none.Str(MQCA_NAMELIST_NAME, "NL1").StrList(MQCA_NAMES, {"", ""}, 8);
  EXPECT_EQ(ToMqsc(none).text, "DEFINE NAMELIST('NL1') NAMES(' ')");  // a list emptied, not left out
}

TEST(MqscPcfToText, ContinuationStartsANewLineFromTheFourthToken) {
  Pcf define(MQCMD_CREATE_Q);
  define.Int(MQIA_Q_TYPE, MQQT_LOCAL)
      .Str(MQCA_Q_NAME, "A.Q")
      .Str(MQCA_Q_DESC, "x")
      .Int(MQIA_MAX_Q_DEPTH, 5000)
      .Int(MQIA_DEF_PERSISTENCE, MQPER_PERSISTENT);
  auto r = ToMqsc(define, 1);
  EXPECT_EQ(r.text, vrqtest::DataFile("api/mqsc/continuation.txt"));
}

TEST(MqscPcfToText, AltDateFilterAddsWhereClause) {
  Pcf display(MQCMD_INQUIRE_Q);
  display.Str(MQCA_Q_NAME, "*").StrFilter(MQCA_ALTERATION_DATE, MQCFOP_GREATER, "2024-01-31");
  EXPECT_EQ(ToMqsc(display).text, "DISPLAY QUEUE('*') WHERE(ALTDATE GE 2024-01-31)");
}

TEST(MqscPcfToText, EscapeCommandCarriesItsText) {
  Pcf ok(MQCMD_ESCAPE);
  ok.Int(MQIACF_ESCAPE_TYPE, MQET_MQSC).Str(MQCACF_ESCAPE_TEXT, "DISPLAY QMGR ALL");
  auto r = ToMqsc(ok);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.text, "DISPLAY QMGR ALL");

  Pcf wrongType(MQCMD_ESCAPE);
  wrongType.Int(MQIACF_ESCAPE_TYPE, 2).Str(MQCACF_ESCAPE_TEXT, "x");
  r = ToMqsc(wrongType);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 3054);

  Pcf noText(MQCMD_ESCAPE);
  noText.Int(MQIACF_ESCAPE_TYPE, MQET_MQSC);
  r = ToMqsc(noText);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 3019);
}

TEST(MqscPcfToText, FailuresGiveTheirCodes) {
  Pcf filter(MQCMD_INQUIRE_Q);
  filter.Str(MQCA_Q_NAME, "*").IntFilter(MQIA_CURRENT_Q_DEPTH, MQCFOP_GREATER, 5);
  auto r = ToMqsc(filter);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5001);
  EXPECT_EQ(r.count, 2);

  Pcf noName(MQCMD_CREATE_Q);
  noName.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_DESC, "left over");
  EXPECT_EQ(ToMqsc(noName).reason, 5005);
  // Nothing of the failed command is carried into the next one.
  Pcf next(MQCMD_CREATE_Q);
  next.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "B");
  EXPECT_EQ(ToMqsc(next).text, "DEFINE QLOCAL('B')");

  Pcf unknown(4242);
  EXPECT_EQ(ToMqsc(unknown).reason, 5002);

  Pcf define(MQCMD_CREATE_Q);
  define.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "A.Q").Str(MQCA_Q_DESC, "x");
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, 64);
  const std::string expected = "DEFINE QLOCAL('A.Q') DESCR('x')";
  MQLONG status = 0, reason = 0, count = 0;
  text->PcfMsg.lMaxLength = 136 + static_cast<MQLONG>(expected.size()) - 1;
  EXPECT_EQ(vrqPcf2Mqsc(define.get(), text, 0, &status, &reason, &count), 5003);
  EXPECT_EQ(status, 2);
  text->PcfMsg.lMaxLength += 1;
  EXPECT_EQ(vrqPcf2Mqsc(define.get(), text, 0, &status, &reason, &count), 0);
  EXPECT_EQ(mqsctest::Text(text), expected);
  EXPECT_EQ(std::string(text->PcfMsg.MsgDesc.Format, 8), "MQSTR   ");
  DeletePcfMessage(text);
}

TEST(MqscPcfToText, MalformedPcfIsRefused) {
  Pcf define(MQCMD_CREATE_Q);
  define.Int(MQIA_Q_TYPE, MQQT_LOCAL).Str(MQCA_Q_NAME, "A.Q");
  MQCFH* h = define.get()->pPcfHdr;
  h->ParameterCount = 5;  // claims more structures than the message holds
  EXPECT_EQ(ToMqsc(define).reason, 5001);
  h->ParameterCount = 2;
  auto* st = reinterpret_cast<MQCFST*>(define.get()->PcfMsg.pData + 36 + 16);
  st->StringLength = 4000;  // string running past its structure
  EXPECT_EQ(ToMqsc(define).reason, 5001);
  st->StringLength = 3;
  st->StrucLength = 6;  // not a multiple of 4
  EXPECT_EQ(ToMqsc(define).reason, 5001);

  Pcf names(MQCMD_CREATE_NAMELIST);
  names.Str(MQCA_NAMELIST_NAME, "NL").StrList(MQCA_NAMES, {"A"}, 8);
  char* first = names.get()->PcfMsg.pData + 36;
  auto* sl = reinterpret_cast<MQCFSL*>(first + reinterpret_cast<MQCFST*>(first)->StrucLength);
  ASSERT_EQ(sl->Type, MQCFT_STRING_LIST);
  sl->Count = 1 << 20;  // more strings than the structure holds
  EXPECT_EQ(ToMqsc(names).reason, 5001);

  char bytes[8] = {};
  EXPECT_EQ(PcfToMqsc(bytes, sizeof bytes, nullptr, 0, &h->Reason, nullptr), 0);
}

TEST(MqscPcfToText, FilterOperatorNames) {
  char out[8];
  const std::pair<int, const char*> names[] = {{1, "LT "}, {2, "EQ "},  {3, "LE "},  {4, "GT "},
                                               {5, "NE "}, {6, "GE "},  {10, "CT "}, {13, "EX "},
                                               {18, "LK "}, {21, "NL "}, {26, "CTG "}, {29, "EXG "}};
  for (auto [op, name] : names) EXPECT_STREQ(ConvertOpStr(op, out), name);
  EXPECT_STREQ(ConvertOpStr(99, out), "");
}

TEST(MqscPcfToText, AlterationDateAgainstDiscoveryStart) {
  struct tm start {};
  start.tm_year = 2024 - 1900;
  start.tm_mon = 0;
  start.tm_mday = 31;
  start.tm_hour = 10;
  start.tm_min = 20;
  start.tm_sec = 30;
  start.tm_isdst = -1;
  time_t t = mktime(&start);
  auto recent = [&](const char* date, const char* time) {
    Pcf response(MQCMD_INQUIRE_Q, MQCFT_RESPONSE);
    response.Str(MQCA_Q_NAME, "A.Q");
    if (date) response.Str(MQCA_ALTERATION_DATE, date);
    if (time) response.Str(MQCA_ALTERATION_TIME, time);
    return IsAlterDateRecent2(t, response.get(), "QM1", 0);
  };
  EXPECT_EQ(recent("2024-01-31", "10.20.30"), 1);
  EXPECT_EQ(recent("2024-01-31", "10.20.29"), 0);
  EXPECT_EQ(recent("2024-01-30", "23.59.59"), 0);
  EXPECT_EQ(recent("2024-02-01 ", "00.00.00"), 1);
  EXPECT_EQ(recent(nullptr, "10.00.00"), 1);
  EXPECT_EQ(IsAlterDateRecent2(t, nullptr, "QM1", 0), 1);

  Pcf response(MQCMD_INQUIRE_Q, MQCFT_RESPONSE);
  response.Str(MQCA_Q_NAME, "A.Q").Str(MQCA_ALTERATION_DATE, "2024-01-30").Str(MQCA_ALTERATION_TIME, "09.00.00");
  int result = -1;
  std::string printed;
  {
    vrqtest::CaptureStdout capture;
    result = IsAlterDateRecent2(t, response.get(), "QM1", 1);
    printed = capture.text();
  }
  EXPECT_EQ(result, 0);
  std::string out = vrqtest::Mask(printed, "[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}", "<now>");
  EXPECT_EQ(out, vrqtest::DataFile("api/mqsc/alter_date_debug.txt"));
}

}  // namespace
