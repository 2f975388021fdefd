// MQSUB, publications put to topics, wildcards, durable subscriptions, retained
// publications and MQSUBRQ, and a subscriber whose queue is full.
#include "mqi_test.h"

#include <cmqc.h>

using namespace mqitest;

namespace {

struct Sub {
  MQHOBJ hobj = MQHO_NONE;
  MQHOBJ hsub = MQHO_NONE;
  Result r;
  std::string resolved;
};

Sub Subscribe(MQHCONN h, const std::string& topic, MQLONG options, const std::string& name = "",
              MQHOBJ destination = MQHO_NONE) {
  MQSD sd = {MQSD_DEFAULT};
  sd.Options = options;
  sd.ObjectString.VSPtr = const_cast<char*>(topic.c_str());
  sd.ObjectString.VSLength = static_cast<MQLONG>(topic.size());
  if (!name.empty()) {
    sd.SubName.VSPtr = const_cast<char*>(name.c_str());
    sd.SubName.VSLength = static_cast<MQLONG>(name.size());
  }
  char resolved[256] = {};
  sd.ResObjectString.VSPtr = resolved;
  sd.ResObjectString.VSBufSize = sizeof resolved;
  Sub s;
  s.hobj = destination;
  MQSUB(h, &sd, &s.hobj, &s.hsub, &s.r.cc, &s.r.rc);
  s.resolved.assign(resolved, static_cast<size_t>(std::max<MQLONG>(0, std::min<MQLONG>(sd.ResObjectString.VSLength, 255))));
  return s;
}

Result Publish(MQHCONN h, const std::string& topic, const std::string& data, MQLONG options = MQPMO_NO_SYNCPOINT) {
  MQOD od = {MQOD_DEFAULT};
  od.Version = MQOD_VERSION_4;
  od.ObjectType = MQOT_TOPIC;
  od.ObjectString.VSPtr = const_cast<char*>(topic.c_str());
  od.ObjectString.VSLength = static_cast<MQLONG>(topic.size());
  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.Format, MQFMT_STRING, 8);
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = options;
  Result r;
  MQPUT1(h, &od, &md, &pmo, static_cast<MQLONG>(data.size()), const_cast<char*>(data.data()), &r.cc, &r.rc);
  return r;
}

std::string TopicOf(MQHCONN h, MQHOBJ q, std::string* body) {
  MQHMSG hmsg = MQHM_NONE;
  MQCMHO cmho = {MQCMHO_DEFAULT};
  MQLONG cc, rc;
  MQCRTMH(h, &cmho, &hmsg, &cc, &rc);
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Version = MQGMO_VERSION_4;
  gmo.MsgHandle = hmsg;
  Got g = Get(h, q, MQGMO_NO_SYNCPOINT, 0, 4096, nullptr, &gmo);
  if (body) *body = g.r.cc == MQCC_OK ? g.data : "<" + std::to_string(g.r.rc) + ">";
  MQIMPO impo = {MQIMPO_DEFAULT};
  MQPD pd = {MQPD_DEFAULT};
  MQCHARV name = {MQCHARV_DEFAULT};
  name.VSPtr = const_cast<char*>("MQTopicString");
  name.VSLength = MQVS_NULL_TERMINATED;
  char value[256];
  MQLONG type = MQTYPE_AS_SET, length = 0;
  MQINQMP(h, hmsg, &impo, &name, &pd, &type, sizeof value, value, &length, &cc, &rc);
  MQDMHO dmho = {MQDMHO_DEFAULT};
  MQLONG cc2, rc2;
  MQDLTMH(h, &hmsg, &dmho, &cc2, &rc2);
  return cc == MQCC_OK ? std::string(value, static_cast<size_t>(length)) : "";
}

}  // namespace

TEST(MqiPubSub, WildcardSubscriptionsGetPublicationsWithTheirTopic) {
  vrqtest::StandinQm qm("QM.PUBSUB");
  Connection c("QM.PUBSUB");
  Sub all = Subscribe(c.hconn, "prices/#", MQSO_CREATE | MQSO_MANAGED | MQSO_NON_DURABLE);
  ASSERT_EQ(all.r.cc, MQCC_OK);
  EXPECT_EQ(all.resolved, "prices/#");
  Sub one_level = Subscribe(c.hconn, "prices/+/eur", MQSO_CREATE | MQSO_MANAGED);
  ASSERT_EQ(one_level.r.cc, MQCC_OK);
  ASSERT_EQ(Publish(c.hconn, "prices/fruit/eur", "apples 3").cc, MQCC_OK);
  ASSERT_EQ(Publish(c.hconn, "prices/fruit/usd", "apples 4").cc, MQCC_OK);
  ASSERT_EQ(Publish(c.hconn, "stock/fruit", "none").cc, MQCC_OK);
  std::string body;
  EXPECT_EQ(TopicOf(c.hconn, all.hobj, &body), "prices/fruit/eur");
  EXPECT_EQ(body, "apples 3");
  EXPECT_EQ(TopicOf(c.hconn, all.hobj, &body), "prices/fruit/usd");
  EXPECT_EQ(TopicOf(c.hconn, all.hobj, &body), "");
  EXPECT_EQ(body, "<" + std::to_string(MQRC_NO_MSG_AVAILABLE) + ">");
  EXPECT_EQ(TopicOf(c.hconn, one_level.hobj, &body), "prices/fruit/eur");
  EXPECT_EQ(TopicOf(c.hconn, one_level.hobj, &body), "");

  // Without a message handle the getter sees the publication's own data and format.
  ASSERT_EQ(Publish(c.hconn, "prices/veg/eur", "leeks 2").cc, MQCC_OK);
  Got g = Get(c.hconn, all.hobj);
  EXPECT_EQ(g.data, "leeks 2");
  EXPECT_EQ(std::string(g.md.Format, 8), MQFMT_STRING);

  // Closing a non-durable subscription ends it.
  MQLONG cc, rc;
  MQCLOSE(c.hconn, &all.hsub, MQCO_NONE, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  EXPECT_EQ(Publish(c.hconn, "prices/veg/eur", "x").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, all.hobj).r.rc, MQRC_NO_MSG_AVAILABLE);
  EXPECT_EQ(Publish(c.hconn, "nobody/listens", "x", MQPMO_WARN_IF_NO_SUBS_MATCHED).rc, MQRC_NO_SUBS_MATCHED);
}

TEST(MqiPubSub, DurableSubscriptionsOutliveTheConnection) {
  vrqtest::StandinQm qm("QM.PUBSUB", "DEFINE QLOCAL(MY.SUBQ)\n");
  {
    Connection c("QM.PUBSUB");
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "MY.SUBQ", MQOO_OUTPUT, q).cc, MQCC_OK);
    Sub s = Subscribe(c.hconn, "orders", MQSO_CREATE | MQSO_DURABLE, "ORDERS.SUB", q);
    ASSERT_EQ(s.r.cc, MQCC_OK);
    EXPECT_EQ(Subscribe(c.hconn, "orders", MQSO_CREATE | MQSO_DURABLE, "ORDERS.SUB", q).r.rc, MQRC_SUB_ALREADY_EXISTS);
    EXPECT_EQ(Subscribe(c.hconn, "orders", MQSO_CREATE | MQSO_DURABLE, "", q).r.rc, MQRC_SUB_NAME_ERROR);
  }
  Connection c("QM.PUBSUB");
  ASSERT_EQ(Publish(c.hconn, "orders", "order 1").cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "MY.SUBQ"), 1);
  EXPECT_EQ(Subscribe(c.hconn, "orders", MQSO_RESUME | MQSO_DURABLE, "NO.SUCH.SUB").r.rc, MQRC_NO_SUBSCRIPTION);
  Sub resumed = Subscribe(c.hconn, "", MQSO_RESUME | MQSO_DURABLE, "ORDERS.SUB");
  ASSERT_EQ(resumed.r.cc, MQCC_OK);
  MQLONG cc, rc;
  MQCLOSE(c.hconn, &resumed.hsub, MQCO_REMOVE_SUB, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  ASSERT_EQ(Publish(c.hconn, "orders", "order 2").cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "MY.SUBQ"), 1);
}

TEST(MqiPubSub, RetainedPublicationsAndRequests) {
  vrqtest::StandinQm qm("QM.PUBSUB");
  Connection c("QM.PUBSUB");
  ASSERT_EQ(Publish(c.hconn, "weather/paris", "rain", MQPMO_RETAIN | MQPMO_NO_SYNCPOINT).cc, MQCC_OK);
  ASSERT_EQ(Publish(c.hconn, "weather/paris", "sun", MQPMO_RETAIN | MQPMO_NO_SYNCPOINT).cc, MQCC_OK);
  // A new subscription gets the last retained publication at once, unless it asks for new ones only.
  Sub fresh = Subscribe(c.hconn, "weather/#", MQSO_CREATE | MQSO_MANAGED);
  ASSERT_EQ(fresh.r.cc, MQCC_OK);
  std::string body;
  EXPECT_EQ(TopicOf(c.hconn, fresh.hobj, &body), "weather/paris");
  EXPECT_EQ(body, "sun");
  Sub only_new = Subscribe(c.hconn, "weather/#", MQSO_CREATE | MQSO_MANAGED | MQSO_NEW_PUBLICATIONS_ONLY);
  EXPECT_EQ(Get(c.hconn, only_new.hobj).r.rc, MQRC_NO_MSG_AVAILABLE);
  // On request: nothing until MQSUBRQ asks.
  Sub on_request = Subscribe(c.hconn, "weather/+", MQSO_CREATE | MQSO_MANAGED | MQSO_PUBLICATIONS_ON_REQUEST);
  ASSERT_EQ(on_request.r.cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, on_request.hobj).r.rc, MQRC_NO_MSG_AVAILABLE);
  MQSRO sro = {MQSRO_DEFAULT};
  MQLONG cc, rc;
  MQSUBRQ(c.hconn, on_request.hsub, MQSR_ACTION_PUBLICATION, &sro, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  EXPECT_EQ(sro.NumPubs, 1);
  EXPECT_EQ(Get(c.hconn, on_request.hobj).data, "sun");
  MQSUBRQ(c.hconn, on_request.hsub, 42, &sro, &cc, &rc);
  EXPECT_EQ(rc, MQRC_ACTION_ERROR);
  Sub elsewhere = Subscribe(c.hconn, "traffic", MQSO_CREATE | MQSO_MANAGED | MQSO_PUBLICATIONS_ON_REQUEST);
  MQSUBRQ(c.hconn, elsewhere.hsub, MQSR_ACTION_PUBLICATION, &sro, &cc, &rc);
  EXPECT_EQ(rc, MQRC_NO_RETAINED_MSG);
}

TEST(MqiPubSub, FullSubscriberQueueMissesPublicationsOthersGetThem) {
  vrqtest::StandinQm qm("QM.PUBSUB", "DEFINE QLOCAL(SMALL) MAXDEPTH(1)\n");
  Connection c("QM.PUBSUB");
  MQHOBJ small;
  ASSERT_EQ(Open(c.hconn, "SMALL", MQOO_OUTPUT | MQOO_INPUT_SHARED, small).cc, MQCC_OK);
  Sub full = Subscribe(c.hconn, "news", MQSO_CREATE, "", small);
  ASSERT_EQ(full.r.cc, MQCC_OK);
  Sub managed = Subscribe(c.hconn, "news", MQSO_CREATE | MQSO_MANAGED);
  for (const char* text : {"a", "b", "c"}) ASSERT_EQ(Publish(c.hconn, "news", text).cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "SMALL"), 1);
  EXPECT_EQ(Get(c.hconn, managed.hobj).data, "a");
  EXPECT_EQ(Get(c.hconn, managed.hobj).data, "b");
  EXPECT_EQ(Get(c.hconn, managed.hobj).data, "c");
}

TEST(MqiPubSub, DescriptorsAreChecked) {
  vrqtest::StandinQm qm("QM.PUBSUB", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.PUBSUB");
  MQSD sd = {MQSD_DEFAULT};
  MQHOBJ hobj = MQHO_NONE, hsub = MQHO_NONE;
  MQLONG cc, rc;
  sd.StrucId[0] = 'x';
  MQSUB(c.hconn, &sd, &hobj, &hsub, &cc, &rc);
  EXPECT_EQ(rc, MQRC_SD_ERROR);
  EXPECT_EQ(Subscribe(c.hconn, "t", MQSO_MANAGED).r.rc, MQRC_OPTIONS_ERROR);
  EXPECT_EQ(Subscribe(c.hconn, "", MQSO_CREATE | MQSO_MANAGED).r.rc, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(Subscribe(c.hconn, "t", MQSO_CREATE, "", 4242).r.rc, MQRC_HOBJ_ERROR);
  MQHOBJ input_only;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, input_only).cc, MQCC_OK);
  EXPECT_EQ(Subscribe(c.hconn, "t", MQSO_CREATE, "", input_only).r.rc, MQRC_NOT_OPEN_FOR_OUTPUT);
  sd = {MQSD_DEFAULT};
  sd.Options = MQSO_CREATE | MQSO_MANAGED;
  sd.ObjectString.VSPtr = const_cast<char*>("t");
  sd.ObjectString.VSLength = 1;
  sd.SelectionString.VSPtr = const_cast<char*>("colour = 'red'");
  sd.SelectionString.VSLength = MQVS_NULL_TERMINATED;
  MQSUB(c.hconn, &sd, &hobj, &hsub, &cc, &rc);
  EXPECT_EQ(rc, MQRC_SELECTION_NOT_AVAILABLE);
}
