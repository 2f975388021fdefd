// MQI structure printers and value-name maps: full listings of filled structures compared
// with expected-text files, the naming rules of the maps, and null input.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>
#include <vrqapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "vrqtest.h"

namespace {

// Runs print with a temporary stream and returns what it wrote, pointers masked.
template <typename Print>
std::string Listing(Print print) {
  vrqtest::TempDir dir;
  const std::string path = dir.file("listing.txt");
  FILE* f = std::fopen(path.c_str(), "w");
  EXPECT_EQ(print(f), 1);
  std::fclose(f);
  return vrqtest::Mask(vrqtest::ReadFile(path), R"(- (0x[0-9a-f]+|\(nil\))\n)", "- <ptr>\n");
}

template <std::size_t N>
void Put(char (&field)[N], const char* text) {
  std::memset(field, ' ', N);
  std::memcpy(field, text, std::strlen(text));
}

MQMD SampleMd() {
  MQMD md = {MQMD_DEFAULT};
  md.Report = MQRO_COA;
  md.MsgType = MQMT_DATAGRAM;
  md.Feedback = MQFB_COA;
  md.Persistence = MQPER_PERSISTENT;
  md.PutApplType = MQAT_UNIX;
  std::memcpy(md.Format, MQFMT_STRING, 8);
  for (int i = 0; i < 24; ++i) md.MsgId[i] = static_cast<MQBYTE>(i);
  std::memcpy(md.CorrelId, "CORREL", 6);
  Put(md.ReplyToQ, "REPLY.Q");
  Put(md.ReplyToQMgr, "QM.A");
  Put(md.UserIdentifier, "mqm");
  Put(md.PutApplName, "vrqmq");
  std::memcpy(md.PutDate, "20261207", 8);
  std::memcpy(md.PutTime, "23455900", 8);
  return md;
}

TEST(MqiPrint, MqmdListingNamesTypeFeedbackAndPersistence) {
  const MQMD md = SampleMd();
  const std::string expected = vrqtest::DataFile("api/mqi_print/mqmd.txt");
  EXPECT_EQ(Listing([&](FILE* f) { return PrintMQMD(&md, f); }), expected);
  EXPECT_EQ(Listing([&](FILE* f) { return PrintMQMDFile(f, &md); }), expected);
  EXPECT_NE(expected.find("MsgType                  - 8           (DATAGRAM)\n"), std::string::npos);
}

TEST(MqiPrint, OdPmoGmoListings) {
  MQOD od = {MQOD_DEFAULT};
  od.Version = MQOD_VERSION_4;
  od.ObjectType = MQOT_Q;
  Put(od.ObjectName, "SYSTEM.ADMIN.COMMAND.QUEUE");
  Put(od.ResolvedQName, "SYSTEM.ADMIN.COMMAND.QUEUE");
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT | MQPMO_FAIL_IF_QUIESCING;
  Put(pmo.ResolvedQMgrName, "QM.A");
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Version = MQGMO_VERSION_4;
  gmo.Options = MQGMO_WAIT;
  gmo.WaitInterval = 5000;
  gmo.ReturnedLength = -1;
  const std::string text = Listing([&](FILE* f) { return PrintMQOD(&od, f); }) +
                           Listing([&](FILE* f) { return PrintPMO(&pmo, f); }) +
                           Listing([&](FILE* f) { return PrintGMO(&gmo, f); });
  EXPECT_EQ(text, vrqtest::DataFile("api/mqi_print/od_pmo_gmo.txt"));
}

TEST(MqiPrint, ApiExitRecordListings) {
  MQAXP axp{};
  std::memcpy(axp.StrucId, MQAXP_STRUC_ID, 4);
  axp.Version = MQAXP_VERSION_2;
  axp.ExitId = MQXT_API_EXIT;
  axp.ExitReason = MQXR_BEFORE;
  axp.ExitResponse = MQXCC_SUPPRESS_FUNCTION;
  axp.ExitResponse2 = MQXR2_CONTINUE_CHAIN;
  axp.Feedback = 999;
  axp.APICallerType = MQXACT_EXTERNAL;
  axp.Function = MQXF_PUT1;
  Put(axp.QMgrName, "QM.A");
  MQAXC axc{};
  std::memcpy(axc.StrucId, MQAXC_STRUC_ID, 4);
  axc.Version = MQAXC_VERSION_1;
  axc.Environment = MQXE_MCA_SVRCONN;
  Put(axc.UserId, "app");
  Put(axc.ApplName, "amqsput");
  axc.ApplType = 77;
  axc.ProcessId = 4242;
  axc.ThreadId = 1;
  const std::string text = Listing([&](FILE* f) { return PrintMQAxpInfo(f, &axp); }) +
                           Listing([&](FILE* f) { return PrintMQAxcInfo(f, &axc); });
  EXPECT_EQ(text, vrqtest::DataFile("api/mqi_print/axp_axc.txt"));
}

TEST(MqiPrint, NullRecordOrStreamPrintsNothing) {
  const MQMD md = SampleMd();
  EXPECT_EQ(PrintMQMD(nullptr, stdout), 0);
  EXPECT_EQ(PrintMQMD(&md, nullptr), 0);
  EXPECT_EQ(PrintMQAxpInfo(stdout, nullptr), 0);
  EXPECT_EQ(PrintGMO(nullptr, nullptr), 0);
}

TEST(MqiNames, NamedValuesAndFallbacks) {
  char b[VRQ_MQ_VALUE_NAME_SIZE];
  EXPECT_STREQ(MsgType(8, b), "DATAGRAM");
  EXPECT_STREQ(MsgType(3, b), "3");
  EXPECT_STREQ(Report(0, b), "NONE");
  EXPECT_STREQ(Report(MQRO_COA, b), "256");
  EXPECT_STREQ(PutApplType(-1, b), "UNKNOWN");
  EXPECT_STREQ(PutApplType(13, b), "GUARDIAN");
  EXPECT_STREQ(PutApplType(30, b), "CHANNEL INITIATOR");
  EXPECT_STREQ(MqObjTypeStr(1015, b), "MQOT_SHORT_CHANNEL");
  EXPECT_STREQ(MqObjTypeStr(1006, b), "UNKNOWN VALUE 1006");
  EXPECT_STREQ(PersistanceType(2, b), "MQPER_PERSISTENCE_AS_Q_DEF");
  EXPECT_STREQ(PersistanceType(3, b), "UNKNOWN");
  EXPECT_STREQ(MapExitId(21, b), "MQXT_PUBSUB_ROUTING_EXIT");
  EXPECT_STREQ(MapExitId(1, b), "1");
  EXPECT_STREQ(MapExitReason(28, b), "MQXR_AUTO_CLUSRCVR");
  EXPECT_STREQ(MapExitReason(4, b), "4");
  EXPECT_STREQ(MapExitResponse(-8, b), "MQXCC_FAILED");
  EXPECT_STREQ(MapExitResponse(5, b), "5");
  EXPECT_STREQ(MapExitResponse2(32, b), "MQXR2_DYNAMIC_CACHE");
  EXPECT_STREQ(APICallerType(2, b), "MQXACT_INTERNAL");
  EXPECT_STREQ(MapFunctionId(11, b), "MQDATA_CONV_ON_GET");
  EXPECT_STREQ(MapFunctionId(21, b), "MQCALLBACK");
  EXPECT_STREQ(MapChannelType(9, b), "CLUSSDR");
  EXPECT_STREQ(MapChannelType(5, b), "5");
  EXPECT_STREQ(MapEnvironment(4, b), "MQXE_MQSC");
  EXPECT_STREQ(MapMsgType(2), "MQMT_REPLY");
  EXPECT_STREQ(MapMsgType(0), "MQMT_UNKNOWN");
  EXPECT_STREQ(MapObjType(5), "QMGR");
  EXPECT_STREQ(MapObjType(9), "UNKNOWN");
  EXPECT_EQ(MsgType(1, nullptr), nullptr);
}

TEST(MqiNames, FeedbackShortAndFullNames) {
  char b[VRQ_MQ_VALUE_NAME_SIZE];
  EXPECT_STREQ(Feedback(259, b), "COA");
  EXPECT_STREQ(Feedback(262, b), "CHANNEL COMPLETED");
  EXPECT_STREQ(Feedback(413, b), "CICS UOW BACKED OUT");
  EXPECT_STREQ(Feedback(301, b), "RC 301");
  EXPECT_STREQ(Feedback(399, b), "RC 399");
  EXPECT_STREQ(Feedback(269, b), "RC 269");
  EXPECT_STREQ(MapFeedback(301, b), "MQFB_IMS_FIRST");
  EXPECT_STREQ(MapFeedback(413, b), "MQFB_CICS_UOW_BACKED_OUT");
  EXPECT_STREQ(MapFeedback(-2147483647 - 1, b), "-2147483648");
}

// Each family MqValueName carries names its values with IBM's name; a value without one, an
// unknown family and no family give null.
TEST(MqiNames, MqValueNameGivesIbmsNameInEveryFamily) {
#define VRQ_NAMED(family, constant) {family, constant, #constant}
  const struct {
    const char* family;
    MQLONG value;
    const char* name;
  } cases[] = {
      VRQ_NAMED("MQAT", MQAT_UNIX),          VRQ_NAMED("MQCA", MQCA_Q_NAME),
      VRQ_NAMED("MQCACF", MQCACF_FROM_Q_NAME), VRQ_NAMED("MQCACH", MQCACH_CHANNEL_NAME),
      VRQ_NAMED("MQCC", MQCC_WARNING),       VRQ_NAMED("MQCFT", MQCFT_STRING),
      VRQ_NAMED("MQCHS", MQCHS_RUNNING),     VRQ_NAMED("MQCHT", MQCHT_SVRCONN),
      VRQ_NAMED("MQCMD", MQCMD_INQUIRE_Q),   VRQ_NAMED("MQENC", MQENC_INTEGER_REVERSED),
      VRQ_NAMED("MQFB", MQFB_COA),           VRQ_NAMED("MQIA", MQIA_BACKOUT_THRESHOLD),
      VRQ_NAMED("MQIACF", MQIACF_Q_ATTRS),   VRQ_NAMED("MQIACH", MQIACH_BATCH_SIZE),
      VRQ_NAMED("MQMT", MQMT_REPLY),         VRQ_NAMED("MQOT", MQOT_Q),
      VRQ_NAMED("MQPER", MQPER_PERSISTENT),  VRQ_NAMED("MQQT", MQQT_ALIAS),
      VRQ_NAMED("MQRC", MQRC_UNKNOWN_OBJECT_NAME), VRQ_NAMED("MQRCCF", MQRCCF_CFH_TYPE_ERROR),
      VRQ_NAMED("MQXACT", MQXACT_INTERNAL),  VRQ_NAMED("MQXCC", MQXCC_OK),
      VRQ_NAMED("MQXE", MQXE_MQSC),          VRQ_NAMED("MQXF", MQXF_PUT1),
      VRQ_NAMED("MQXR", MQXR_BEFORE),        VRQ_NAMED("MQXR2", MQXR2_DYNAMIC_CACHE),
      VRQ_NAMED("MQXT", MQXT_API_CROSSING_EXIT),
  };
#undef VRQ_NAMED
  for (const auto& c : cases) EXPECT_STREQ(MqValueName(c.family, c.value), c.name) << c.family;
  EXPECT_EQ(MqValueName("MQRC", 1), nullptr);
  EXPECT_EQ(MqValueName("MQNOSUCH", 0), nullptr);
  EXPECT_EQ(MqValueName(nullptr, 0), nullptr);
}

}  // namespace
