// MQSC responses to PCF: the documented examples, the structure layouts written, the
// escape command, the free-form z/OS responses, and bad response text.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqxc.h>

#include <string>

#include "mqsc_pcf_support.h"

namespace {

using mqsctest::IntParam;
using mqsctest::Result;
using mqsctest::StrParam;
using mqsctest::ToPcf;

// The parameter identifiers of a response, in the order written.
std::vector<int> Parameters(PcfMessage* pcf) {
  std::vector<int> ids;
  for (int i = 1; i <= pcf->pPcfHdr->ParameterCount; ++i) {
    MQLONG id = 0;
    std::memcpy(&id, pcf->Attrs[i].pData + 8, 4);
    ids.push_back(id);
  }
  return ids;
}

TEST(MqscResponseToPcf, DisplayQueueResponseInRuleTableOrder) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I +CSQ1 CSQMDRTS DISPLAY QUEUE DETAILS\n"
                                           "CURDEPTH(5) QUEUE(A.B) NOSUCH(1) TYPE(QLOCAL)\n END QUEUE DETAILS", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.reason, 0);
  EXPECT_EQ(r.count, 5);  // QUEUE of both heading lines counts too; NOSUCH does not
  const MQCFH* h = pcf->pPcfHdr;
  EXPECT_EQ(h->Type, MQCFT_RESPONSE);
  EXPECT_EQ(h->Command, MQCMD_INQUIRE_Q);
  EXPECT_EQ(h->CompCode, 0);
  EXPECT_EQ(h->Reason, 0);
  EXPECT_EQ(h->Control, MQCFC_LAST);
  EXPECT_EQ(Parameters(pcf), (std::vector<int>{MQCA_Q_NAME, MQIA_Q_TYPE, MQIA_CURRENT_Q_DEPTH}));
  EXPECT_EQ(StrParam(pcf, MQCA_Q_NAME), "A.B");
  int v = 0;
  EXPECT_TRUE(IntParam(pcf, MQIA_Q_TYPE, &v));
  EXPECT_EQ(v, MQQT_LOCAL);
  EXPECT_TRUE(IntParam(pcf, MQIA_CURRENT_Q_DEPTH, &v));
  EXPECT_EQ(v, 5);
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, ErrorMessageIdsSetCompletionAndReason) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM094I +CSQ1 QUEUE(NONE) NOT FOUND", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(pcf->pPcfHdr->CompCode, 2);
  EXPECT_EQ(pcf->pPcfHdr->Reason, 2085);
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, NamedSpecialValuesAndBareValueKeywords) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_CHANNEL, "CSQM201I CHANNEL(TO.QM2) KAINT(AUTO) BATCHSZ(50) DESCR( )", &r);
  int v = 0;
  EXPECT_TRUE(IntParam(pcf, MQIACH_KEEP_ALIVE_INTERVAL, &v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(IntParam(pcf, MQIACH_BATCH_SIZE, &v));
  EXPECT_EQ(v, 50);
  EXPECT_EQ(StrParam(pcf, MQCACH_DESC), "");
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_SUBSCRIPTION, "CSQM201I SUB(S1) EXPIRY(UNLIMITED)", &r);
  EXPECT_TRUE(IntParam(pcf, MQIACF_EXPIRY, &v));
  EXPECT_EQ(v, -1);
  DeletePcfMessage(pcf);

  // XMITQ is a keyword here even though USAGE, earlier in the table, has a value of that name.
  pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I QUEUE(R) USAGE(XMITQ) XMITQ(XQ)", &r);
  EXPECT_EQ(StrParam(pcf, MQCA_XMIT_Q_NAME), "XQ");
  EXPECT_TRUE(IntParam(pcf, MQIA_USAGE, &v));
  EXPECT_EQ(v, MQUS_TRANSMISSION);
  DeletePcfMessage(pcf);

  // An unknown value name fails the translation (5002); the rest is still read.
  pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I QUEUE(Q) NOSHARE HARDENBO DEFPSIST(YES) DEFSOPT(BOGUS)", &r);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5002);
  EXPECT_TRUE(IntParam(pcf, MQIA_SHAREABILITY, &v));
  EXPECT_EQ(v, MQQA_NOT_SHAREABLE);
  EXPECT_TRUE(IntParam(pcf, MQIA_HARDEN_GET_BACKOUT, &v));
  EXPECT_EQ(v, MQQA_BACKOUT_HARDENED);
  EXPECT_TRUE(IntParam(pcf, MQIA_DEF_PERSISTENCE, &v));
  EXPECT_EQ(v, MQPER_PERSISTENT);
  EXPECT_FALSE(IntParam(pcf, MQIA_DEF_INPUT_OPEN_OPTION, &v));
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, StringAndListLayouts) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I QUEUE(ABCDE) CONNAME(host(1414))", &r);
  const auto* st = reinterpret_cast<const MQCFST*>(pcf->Attrs[1].pData);
  EXPECT_EQ(st->StringLength, 5);
  EXPECT_EQ(st->StrucLength, 48);
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_NAMELIST, "CSQM201I NAMELIST(NL) NAMES(ABC,ABCD, ABCDE)", &r);
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(Parameters(pcf), (std::vector<int>{MQCA_NAMELIST_NAME, MQCA_NAMES}));
  const auto* sl = reinterpret_cast<const MQCFSL*>(pcf->Attrs[2].pData);
  EXPECT_EQ(sl->Count, 3);
  EXPECT_EQ(sl->StringLength, 6);
  EXPECT_EQ(sl->StrucLength, 24 + 20);
  EXPECT_EQ(std::string(sl->Strings, 18), "ABC   ABCD   ABCDE");
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_CHANNEL, "CSQM201I CHANNEL(C) CONNAME(host(1414)) DESCR('a,b')", &r);
  EXPECT_EQ(StrParam(pcf, MQCACH_CONNECTION_NAME), "host(1414)");
  EXPECT_EQ(StrParam(pcf, MQCACH_DESC), "'a,b'");
  DeletePcfMessage(pcf);
}

// Names read back as IBM's constants; a number where MQSC has a name, or a name where it
// has a number, is an error rather than a wrong value.
TEST(MqscResponseToPcf, NamedValuesAndCountersReadBack) {
  Result r;
  int v = -1;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_Q_MGR, "CSQM201I QMNAME(QM1) SCHINIT(MANUAL) SCMDSERV(QMGR)", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(IntParam(pcf, MQIA_CHINIT_CONTROL, &v));
  EXPECT_EQ(v, MQSVC_CONTROL_MANUAL);
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_TOPIC, "CSQM201I TOPIC(T) DURSUB(NO) PUB(ASPARENT)", &r);
  EXPECT_TRUE(IntParam(pcf, MQIA_DURABLE_SUB, &v));
  EXPECT_EQ(v, MQSUB_DURABLE_INHIBITED);
  EXPECT_TRUE(IntParam(pcf, MQIA_INHIBIT_PUB, &v));
  EXPECT_EQ(v, MQTA_PUB_AS_PARENT);
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_Q_MGR, "CSQM201I QMNAME(QM1) SCHINIT(2)", &r);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5002);
  DeletePcfMessage(pcf);
  pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I QUEUE(Q) MAXDEPTH(LOTS)", &r);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5002);
  DeletePcfMessage(pcf);

  // Blank monitoring counters are not available (-1), as IBM's PCF reports them.
  pcf = ToPcf(MQCMD_INQUIRE_Q_STATUS, "CSQM201I QSTATUS(Q1) TYPE(QUEUE) MSGAGE( ) QTIME( , )", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(IntParam(pcf, MQIACF_OLDEST_MSG_AGE, &v));
  EXPECT_EQ(v, MQMON_NOT_AVAILABLE);
  MESSAGE times{};
  ASSERT_TRUE(GetAttrByID(MQIACF_Q_TIME_INDICATOR, &times, pcf));
  EXPECT_TRUE(GetPcfIntListAttrValue(&times, 1, &v));
  EXPECT_EQ(v, MQMON_NOT_AVAILABLE);
  DeleteMessage(&times);
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_INQUIRE_Q_MGR, "CSQM201I QMNAME(QM1) EXPRYINT(OFF) MAXPROPL(NOLIMIT)", &r);
  EXPECT_TRUE(IntParam(pcf, MQIA_EXPIRY_INTERVAL, &v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(IntParam(pcf, MQIA_MAX_PROPERTIES_LENGTH, &v));
  EXPECT_EQ(v, MQPROP_UNRESTRICTED_LENGTH);
  DeletePcfMessage(pcf);

  pcf = ToPcf(MQCMD_RESET_Q_STATS, "CSQM201I QSTATS(Q1) RESETINT(60) HIQDEPTH(12) MSGSIN(30) MSGSOUT(25)", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(StrParam(pcf, MQCA_Q_NAME), "Q1");
  for (auto [parameter, expected] : {std::pair{MQIA_TIME_SINCE_RESET, 60}, {MQIA_HIGH_Q_DEPTH, 12},
                                     {MQIA_MSG_ENQ_COUNT, 30}, {MQIA_MSG_DEQ_COUNT, 25}}) {
    EXPECT_TRUE(IntParam(pcf, parameter, &v)) << parameter;
    EXPECT_EQ(v, expected);
  }
  DeletePcfMessage(pcf);

  // A channel definition's compression list is an integer list, as IBM's PCF carries it.
  pcf = ToPcf(MQCMD_INQUIRE_CHANNEL, "CSQM201I CHANNEL(C) COMPMSG(ZLIBFAST,RLE) MSGEXIT(A,B)", &r);
  EXPECT_EQ(r.status, 0);
  MESSAGE a{};
  ASSERT_TRUE(GetAttrByID(MQIACH_MSG_COMPRESSION, &a, pcf));
  EXPECT_EQ(reinterpret_cast<const MQCFIL*>(a.pData)->Type, MQCFT_INTEGER_LIST);
  EXPECT_TRUE(GetPcfIntListAttrValue(&a, 1, &v));
  EXPECT_EQ(v, MQCOMPRESS_RLE);
  DeleteMessage(&a);
  ASSERT_TRUE(GetAttrByID(MQCACH_MSG_EXIT_NAME, &a, pcf));
  EXPECT_EQ(reinterpret_cast<const MQCFSL*>(a.pData)->Count, 2);
  DeleteMessage(&a);
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, EscapeCommandKeepsTheWholeText) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_ESCAPE, "CSQN205I COUNT= 3, RETURN=00000000", &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(StrParam(pcf, MQCACF_ESCAPE_TEXT), "CSQN205I COUNT= 3, RETURN=00000000");
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, BadTextFailsCleanly) {
  Result r;
  PcfMessage* pcf = ToPcf(MQCMD_INQUIRE_Q, "no message id here QUEUE(A)", &r);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5002);
  DeletePcfMessage(pcf);

  pcf = ToPcf(4242, "CSQM201I QUEUE(A)", &r);
  EXPECT_EQ(r.reason, 5002);
  DeletePcfMessage(pcf);

  for (const std::string& text :
       {std::string("CSQM201I QUEUE(A.B TYPE(QLOCAL"), std::string("CSQM201I QUEUE('A.B) DESCR('x"),
        std::string("CSQM201I QUEUE(A(B(C)))) ))) (((("), std::string(" .,\t\n:()+ .,\t\n:()+"),
        std::string("CSQM201I QUEUE(A\0B) TYPE(QLOCAL)\0", 33), std::string("CSQM201I QUEUE") + std::string(70000, 'Q'),
        std::string("CSQM201I QUEUE(") + std::string(70000, 'x') + ")", std::string("CSQM201I DESCR(") + std::string(200, '(')}) {
    pcf = ToPcf(MQCMD_INQUIRE_Q, text, &r);
    EXPECT_TRUE(r.status == 0 || r.status == 2);
    EXPECT_LE(pcf->PcfMsg.lMsgLength, pcf->PcfMsg.lMaxLength);
    DeletePcfMessage(pcf);
  }

  pcf = ToPcf(MQCMD_INQUIRE_Q, std::string("CSQM201I QUEUE(A\0B) TYPE(QLOCAL)", 32), &r);
  EXPECT_EQ(StrParam(pcf, MQCA_Q_NAME), "A B");  // terminators inside the text read as blanks
  DeletePcfMessage(pcf);

  // The result does not fit the message: 5003, nothing written past its end.
  pcf = ToPcf(MQCMD_INQUIRE_Q, "CSQM201I QUEUE(" + std::string(200, 'A') + ")", &r, 100);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.reason, 5003);
  DeletePcfMessage(pcf);
}

TEST(MqscResponseToPcf, TokenizerKeepsItsPlace) {
  char text[] = ")a((b)  c";
  char found = 'x';
  EXPECT_STREQ(strtok_x(text, "()", &found), "");
  EXPECT_EQ(found, ')');
  EXPECT_STREQ(strtok_x(nullptr, "()", &found), "a");
  EXPECT_EQ(found, '(');
  EXPECT_STREQ(strtok_x(nullptr, "()", &found), "b");
  EXPECT_STREQ(strtok_x(nullptr, "()", &found), "  c");
  EXPECT_EQ(found, 0);
  EXPECT_EQ(strtok_x(nullptr, "()", &found), nullptr);
  char empty[] = "";
  EXPECT_EQ(strtok_x(empty, "()", &found), nullptr);
  std::string longToken(65536, 'x');
  EXPECT_EQ(strtok_x(longToken.data(), " ", &found), nullptr);
  std::string justFits(65535, 'x');
  EXPECT_NE(strtok_x(justFits.data(), " ", &found), nullptr);
}

TEST(MqscResponseToPcf, SetLogLine) {
  mqsctest::Pcf pcf(10633, MQCFT_RESPONSE);
  MQLONG status = -1, reason = -1, count = -1;
  EXPECT_EQ(MqscToPcfSetLog("CSQJ337I CSQ1 SET LOG values: MAXRTU=2 DEALLCT=1440", pcf.get(), &status, &reason, &count), 1);
  EXPECT_EQ(status, 0);
  RawToPcf(pcf.get());
  int v = 0;
  EXPECT_TRUE(IntParam(pcf.get(), 20637, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(IntParam(pcf.get(), 20635, &v));
  EXPECT_EQ(v, 1440);
  EXPECT_EQ(MqscToPcfSetLog("CSQJ337I CSQ1 SET LOG values: DEALLCT=1 MAXRTU=2", pcf.get(), &status, &reason, &count), 0);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(reason, 5007);
  EXPECT_EQ(MqscToPcfSetLog("CSQ9022I CSQ1 NORMAL COMPLETION", pcf.get(), &status, &reason, &count), 1);
  EXPECT_EQ(reason, 0);
}

TEST(MqscResponseToPcf, DisplayLogLinesWithArchiveTable) {
  mqsctest::Pcf pcf(10632, MQCFT_RESPONSE);
  MQLONG status = -1, reason = -1, count = -1;
  const char* lines[] = {"CSQJ322I DISPLAY LOG report",
                         "Initial parameters: MAXRTU=2 DEALLCT=0",
                         "Current parameters: MAXRTU=3 DEALLCT=1440",
                         "Volume   State  Data set  Date  Time",
                         "----     --",
                         "VOL001  BUSY  DSN.A  2024-01-31  10:00",
                         "short line",
                         "No tape archive reading activity",
                         "VOL002  PREMOUNT  DSN.B  2024-01-31  11:00",
                         "End of DISPLAY LOG report"};
  for (const char* line : lines) {
    EXPECT_EQ(MqscToPcfDisplayLog(line, pcf.get(), &status, &reason, &count), 1) << line;
    EXPECT_EQ(status, 0);
  }
  EXPECT_EQ(MqscToPcfDisplayLog("Initial parameters: DEALLCT=0", pcf.get(), &status, &reason, &count), 0);
  EXPECT_EQ(reason, 5007);
  RawToPcf(pcf.get());
  int v = 0;
  EXPECT_TRUE(IntParam(pcf.get(), 20638, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(IntParam(pcf.get(), 20635, &v));
  EXPECT_EQ(v, 1440);
  EXPECT_EQ(StrParam(pcf.get(), 20905), "VOL001");  // the line after the table ended is not an entry
  EXPECT_TRUE(IntParam(pcf.get(), 20906, &v));
  EXPECT_EQ(v, 3);
  EXPECT_EQ(StrParam(pcf.get(), 20908), "2024-01-31");
  EXPECT_EQ(StrParam(pcf.get(), 20909), "10:00");
  EXPECT_EQ(pcf.get()->pPcfHdr->ParameterCount, 4 + 5);
}

TEST(MqscResponseToPcf, DisplayGroupMemberAndSecondTables) {
  mqsctest::Pcf pcf(10901, MQCFT_RESPONSE);
  MQLONG status = -1, reason = -1, count = -1;
  const char* lines[] = {"CSQ5100I CSQ1 DISPLAY GROUP report follows",
                         "CSQ5102I CSQ1 Queue-sharing group is named QSG1 HERE",
                         "Name Num Prefix State Release Level Connection",
                         "QM01 1 CSQ1 ACTIVE 710 09 ACTIVE",
                         "QM02 2 CSQ2 FAILED 710 09",
                         "End of queue-sharing group member report",
                         "CSQ5103I CSQ1 DB2 tables follow",
                         "Name First Second State",
                         "TAB1 12 34 NOT FOUND 5 6",
                         "TAB2 1 2 VALID 3 4",
                         "Report terminated, done",
                         "CSQ9022I CSQ1 NORMAL COMPLETION"};
  for (const char* line : lines) {
    EXPECT_EQ(MqscToPcfDisplayGroup(line, pcf.get(), &status, &reason, &count), 1) << line;
  }
  RawToPcf(pcf.get());
  EXPECT_EQ(StrParam(pcf.get(), 20910), "QSG1");
  EXPECT_EQ(StrParam(pcf.get(), 20911), "QM01");
  int v = 0;
  EXPECT_TRUE(IntParam(pcf.get(), 20914, &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(IntParam(pcf.get(), 20917, &v));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(StrParam(pcf.get(), 20918), "TAB1");
  EXPECT_TRUE(IntParam(pcf.get(), 20921, &v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(IntParam(pcf.get(), 20922, &v));
  EXPECT_EQ(v, 5);  // counted one word further on after NOT FOUND
  EXPECT_EQ(pcf.get()->pPcfHdr->ParameterCount, 1 + 7 + 6 + 6);
}

}  // namespace
