// Dynamic queues from model queues: generated names, where the asterisk may stand, exact
// names, temporary queues that vanish with their handle, permanent ones that stay.
#include <cmqc.h>

#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr const char* kDefs =
    "DEFINE QMODEL(APP.MODEL)\n"
    "DEFINE QMODEL(APP.PERM.MODEL) DEFTYPE(PERMDYN)\n";

MQOD ModelOd(const char* model, const std::string& dynamic) {
  MQOD od = QueueOd(model);
  std::memset(od.DynamicQName, 0, sizeof od.DynamicQName);
  std::memcpy(od.DynamicQName, dynamic.data(), std::min(dynamic.size(), sizeof od.DynamicQName));
  return od;
}

}  // namespace

TEST(MqiDynamicQueues, GeneratedNamesAndAsteriskRule) {
  vrqtest::StandinQm qm("QM.DYN", kDefs);
  Connection c("QM.DYN");
  MQOD od = ModelOd("APP.MODEL", "ORVANE.REPLY.PING.INQ*");
  MQHOBJ h;
  ASSERT_EQ(Open(c.hconn, od, 0x2024, h).cc, MQCC_OK);
  const std::string name = Field(od.ObjectName);
  EXPECT_EQ(name.rfind("ORVANE.REPLY.PING.INQ", 0), 0u);
  EXPECT_GT(name.size(), std::string("ORVANE.REPLY.PING.INQ").size());
  EXPECT_EQ(Depth(c.hconn, name), 0);

  MQOD again = ModelOd("APP.MODEL", "ORVANE.REPLY.PING.INQ*");
  MQHOBJ h2;
  ASSERT_EQ(Open(c.hconn, again, MQOO_INPUT_EXCLUSIVE, h2).cc, MQCC_OK);
  EXPECT_NE(Field(again.ObjectName), name);

  // The default DynamicQName is "AMQ.*"; an asterisk at position 33 is the last allowed.
  MQOD deflt = QueueOd("APP.MODEL");
  MQHOBJ h3;
  ASSERT_EQ(Open(c.hconn, deflt, MQOO_INPUT_EXCLUSIVE, h3).cc, MQCC_OK);
  EXPECT_EQ(Field(deflt.ObjectName).rfind("AMQ.", 0), 0u);
  MQOD at33 = ModelOd("APP.MODEL", std::string(32, 'P') + "*");
  EXPECT_EQ(Open(c.hconn, at33, MQOO_INPUT_EXCLUSIVE, h3).cc, MQCC_OK);
  EXPECT_EQ(Field(at33.ObjectName).size(), 48u);
  MQOD at34 = ModelOd("APP.MODEL", std::string(33, 'P') + "*");
  EXPECT_EQ(Open(c.hconn, at34, MQOO_INPUT_EXCLUSIVE, h3).rc, MQRC_DYNAMIC_Q_NAME_ERROR);
  MQOD inner = ModelOd("APP.MODEL", "A*B");
  EXPECT_EQ(Open(c.hconn, inner, MQOO_INPUT_EXCLUSIVE, h3).rc, MQRC_DYNAMIC_Q_NAME_ERROR);
}

TEST(MqiDynamicQueues, ExactNamesAndLifetimes) {
  vrqtest::StandinQm qm("QM.DYN", kDefs);
  Connection c("QM.DYN");
  MQOD temp = ModelOd("APP.MODEL", "MY.TEMP");
  MQHOBJ t;
  ASSERT_EQ(Open(c.hconn, temp, MQOO_INPUT_EXCLUSIVE | MQOO_OUTPUT, t).cc, MQCC_OK);
  EXPECT_EQ(Field(temp.ObjectName), "MY.TEMP");
  MQOD twice = ModelOd("APP.MODEL", "MY.TEMP");
  MQHOBJ t2;
  EXPECT_EQ(Open(c.hconn, twice, MQOO_INPUT_EXCLUSIVE, t2).rc, MQRC_OBJECT_ALREADY_EXISTS);
  ASSERT_EQ(Put(c.hconn, t, "gone with the queue").cc, MQCC_OK);
  ASSERT_EQ(Close(c.hconn, t).cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "MY.TEMP"), -1);

  MQOD perm = ModelOd("APP.PERM.MODEL", "MY.PERM");
  MQHOBJ p;
  ASSERT_EQ(Open(c.hconn, perm, MQOO_OUTPUT, p).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, p, "stays").cc, MQCC_OK);
  ASSERT_EQ(Close(c.hconn, p).cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "MY.PERM"), 1);
  MQHOBJ again;
  ASSERT_EQ(Open(c.hconn, "MY.PERM", MQOO_INPUT_SHARED, again).cc, MQCC_OK);
  EXPECT_EQ(Close(c.hconn, again, MQCO_DELETE).rc, MQRC_Q_NOT_EMPTY);
  EXPECT_EQ(Close(c.hconn, again, MQCO_DELETE_PURGE).cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "MY.PERM"), -1);
}

TEST(MqiDynamicQueues, TemporaryQueueEndsWithItsConnection) {
  vrqtest::StandinQm qm("QM.DYN", kDefs);
  std::string name;
  std::thread([&] {
    Connection c("QM.DYN");
    MQOD od = ModelOd("APP.MODEL", "SHORT.LIVED*");
    MQHOBJ h;
    ASSERT_EQ(Open(c.hconn, od, MQOO_INPUT_EXCLUSIVE, h).cc, MQCC_OK);
    name = Field(od.ObjectName);
  }).join();
  Connection c("QM.DYN");
  EXPECT_EQ(Depth(c.hconn, name), -1);
}
