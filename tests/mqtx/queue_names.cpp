// Generated queue names and site qualifiers: the whole pattern table by kind and by which
// qualifiers are set, cuts of long bases and results, reading "mqqual.ini" (and its
// absence), and the classification of inquiry commands.
#include <cmqc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "vrqmqtx.h"
#include "vrqtest.h"

namespace {

std::string Generate(const char* base, const MQQual* qual, int kind) {
  char name[VRQ_MQ_NAME_SIZE] = {};
  if (base != nullptr) std::strncpy(name, base, sizeof name - 1);
  return GenerateQueName(name, qual, kind);
}

MQQual Qual(const char* high, const char* mid) {
  MQQual q{};
  std::strncpy(q.szHighLevel, high, 8);
  std::strncpy(q.szMidLevel, mid, 8);
  return q;
}

TEST(QueueNames, PatternTableByKindAndQualifiers) {
  const MQQual both = Qual("HLQ", "MLQ"), high = Qual("HLQ", ""), none = Qual("", "MLQ");
  struct Row {
    int kind;
    const char *both, *high, *none;
  };
  const Row rows[] = {
      {1, "HLQ.MLQ.EVENT.PING", "HLQ.ORVANE.EVENT.PING", "ORVANE.EVENT.PING"},
      {2, "HLQ.MLQ.REPLY.PING", "HLQ.ORVANE.REPLY.PING", "ORVANE.REPLY.PING"},
      {3, "HLQ.MLQ.ORVANE.EVENT.QUEUE", "HLQ.ORVANE.EVENT.QUEUE", "ORVANE.EVENT.QUEUE"},
      {4, "HLQ.MLQ.ORVANE.PUBSUB.EVENT.QUEUE", "HLQ.ORVANE.PUBSUB.EVENT.QUEUE",
       "ORVANE.PUBSUB.EVENT.QUEUE"},
      {5, "HLQ.MLQ.ORVANE.PUBSUB.REPLY.QUEUE", "HLQ.ORVANE.PUBSUB.REPLY.QUEUE",
       "ORVANE.PUBSUB.REPLY.QUEUE"},
      {6, "HLQ.MLQ.ORVANE.TPX.PROXY.QUEUE", "HLQ.ORVANE.TPX.PROXY.QUEUE",
       "ORVANE.TPX.PROXY.COMMAND.QUEUE"},
      {7, "HLQ.MLQ.ORVANE.TPX.ADMIN.COMMAND.QUEUE", "HLQ.ORVANE.TPX.ADMIN.QUEUE",
       "ORVANE.TPX.ADMIN.COMMAND.QUEUE"},
      {8, "HLQ.MLQ.ORVANE.TPX.AUDIT.QUEUE", "HLQ.ORVANE.TPX.AUDIT.QUEUE",
       "ORVANE.TPX.AUDIT.QUEUE"},
      {99, "HLQ.MLQ.PING", "HLQ.ORVANE.PING", "ORVANE.PING.QUEUE"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.kind);
    EXPECT_EQ(Generate("PING", &both, r.kind), r.both);
    EXPECT_EQ(Generate("PING", &high, r.kind), r.high);
    EXPECT_EQ(Generate("PING", &none, r.kind), r.none);  // mid-level alone has no effect
    EXPECT_EQ(Generate("PING", nullptr, r.kind), r.none);
  }
}

TEST(QueueNames, CutsAndDefaults) {
  EXPECT_EQ(Generate("ABCDEFGHIJK", nullptr, 2), "ORVANE.REPLY.ABCDEFGH");
  // Full-length qualifiers and base: 8 + 1 + 8 + 1 + 6 + 1 + 32 = 48 characters fit, the
  // 6-character kind 99 pattern gives 26; a kind-7 name of 53 characters is cut to 48.
  const MQQual full = Qual("HHHHHHHH", "MMMMMMMM");
  const std::string admin = Generate("X", &full, 7);
  EXPECT_EQ(admin, std::string("HHHHHHHH.MMMMMMMM.ORVANE.TPX.ADMIN.COMMAND.QUEUE").substr(0, 48));
  EXPECT_EQ(admin.size(), 48u);
  EXPECT_STREQ(GenerateQueName(nullptr, nullptr, 1), "ORVANE.EVENT.DEFAULT");
}

using vrqtest::Install;

TEST(QueueNames, QualifiersFromTheSiteFile) {
  Install inst;
  MQQual* qual = CreateQual();
  ASSERT_NE(qual, nullptr);
  std::strcpy(qual->szHighLevel, "OLD");
  EXPECT_EQ(RetreiveQual(qual), nullptr);  // no file: zeroed record
  EXPECT_STREQ(qual->szHighLevel, "");

  inst.Qual("# site qualifiers\nORVANE.MODEL.QUEUE=SITE.MODEL\r\nORVANE.HLQ=TOOLONGHLQ\n"
            "ORVANE.MLQ=MID  # trailing\n");
  EXPECT_EQ(RetreiveQual(qual), qual);
  EXPECT_STREQ(qual->szModelQueue, "SITE.MODEL");
  EXPECT_STREQ(qual->szHighLevel, "TOOLONGH");
  EXPECT_STREQ(qual->szMidLevel, "MID");
  EXPECT_EQ(Generate("PING", qual, 2), "TOOLONGH.MID.REPLY.PING");
  EXPECT_EQ(DeleteQual(qual), 1);
  EXPECT_EQ(DeleteQual(nullptr), 0);
}

TEST(QueueNames, InquiryCommands) {
  for (MQLONG c : {2, 13, 114, 120, 126, 183, 10024}) EXPECT_EQ(IsInquiryPcf(c), 1) << c;
  for (MQLONG c : {0, 1, 8, 11, 40, 113, 127, 10023}) EXPECT_EQ(IsInquiryPcf(c), 0) << c;
}

}  // namespace
