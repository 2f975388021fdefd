// MQINQ and MQSET: queue and queue-manager attributes, counts that follow opens, the
// attributes a program may set and the reasons for the rest.
#include "mqi_test.h"

#include <cmqc.h>

using namespace mqitest;

namespace {

Result Inq(MQHCONN h, MQHOBJ o, std::vector<MQLONG> sel, std::vector<MQLONG>& ints, std::string& chars) {
  Result r;
  MQINQ(h, o, static_cast<MQLONG>(sel.size()), sel.data(), static_cast<MQLONG>(ints.size()), ints.data(),
        static_cast<MQLONG>(chars.size()), chars.data(), &r.cc, &r.rc);
  return r;
}

Result Set(MQHCONN h, MQHOBJ o, std::vector<MQLONG> sel, std::vector<MQLONG> ints, std::string chars = "") {
  Result r;
  MQSET(h, o, static_cast<MQLONG>(sel.size()), sel.data(), static_cast<MQLONG>(ints.size()), ints.data(),
        static_cast<MQLONG>(chars.size()), chars.data(), &r.cc, &r.rc);
  return r;
}

}  // namespace

TEST(MqiAttributes, InquireQueueAndQueueManager) {
  vrqtest::StandinQm qm("QM.ATTRS", "DEFINE QLOCAL(Q1) MAXDEPTH(77) DESCR('the first queue')\n");
  Connection c("QM.ATTRS");
  MQHOBJ in, out, inq;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INQUIRE | MQOO_BROWSE, inq).cc, MQCC_OK);
  Put(c.hconn, out, "one");
  std::vector<MQLONG> ints(5, -9);
  std::string chars(48 + 64, '?');
  Result r = Inq(c.hconn, inq,
                 {MQIA_CURRENT_Q_DEPTH, MQIA_MAX_Q_DEPTH, MQCA_Q_NAME, MQIA_OPEN_INPUT_COUNT,
                  MQIA_OPEN_OUTPUT_COUNT, MQIA_TRIGGER_CONTROL, MQCA_Q_DESC},
                 ints, chars);
  EXPECT_EQ(r.cc, MQCC_OK);
  EXPECT_EQ(ints, (std::vector<MQLONG>{1, 77, 1, 1, MQTC_OFF}));
  EXPECT_EQ(Field(chars.data(), 48), "Q1");
  EXPECT_EQ(Field(chars.data() + 48, 64), "the first queue");

  std::vector<MQLONG> one(1);
  std::string none;
  EXPECT_EQ(Inq(c.hconn, inq, {MQIA_CURRENT_Q_DEPTH, MQIA_MAX_Q_DEPTH}, one, none).rc, MQRC_INT_ATTR_COUNT_TOO_SMALL);
  EXPECT_EQ(Inq(c.hconn, inq, {99999}, one, none).rc, MQRC_SELECTOR_ERROR);
  EXPECT_EQ(Inq(c.hconn, out, {MQIA_CURRENT_Q_DEPTH}, one, none).rc, MQRC_NOT_OPEN_FOR_INQUIRE);

  MQOD qmgr = {MQOD_DEFAULT};
  qmgr.ObjectType = MQOT_Q_MGR;
  MQHOBJ qmh;
  ASSERT_EQ(Open(c.hconn, qmgr, 0x2020, qmh).cc, MQCC_OK);
  std::string name(48, ' ');
  EXPECT_EQ(Inq(c.hconn, qmh, {MQIA_COMMAND_LEVEL, MQCA_Q_MGR_NAME}, one, name).cc, MQCC_OK);
  EXPECT_EQ(one[0], MQCMDL_LEVEL_940);
  EXPECT_EQ(Field(name.data(), 48), "QM.ATTRS");
  MQHOBJ bad;
  EXPECT_EQ(Open(c.hconn, qmgr, MQOO_OUTPUT, bad).rc, MQRC_OPTION_NOT_VALID_FOR_TYPE);
}

TEST(MqiAttributes, SetWhatTheMqiAllows) {
  vrqtest::StandinQm qm("QM.ATTRS", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.ATTRS");
  MQHOBJ set, out, in;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_SET | MQOO_INQUIRE, set).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);

  EXPECT_EQ(Set(c.hconn, set, {MQIA_INHIBIT_PUT}, {MQQA_PUT_INHIBITED}).cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, out, "x").rc, MQRC_PUT_INHIBITED);
  EXPECT_EQ(Set(c.hconn, set, {MQIA_INHIBIT_PUT, MQIA_INHIBIT_GET}, {MQQA_PUT_ALLOWED, MQQA_GET_INHIBITED}).cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, out, "x").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, in).r.rc, MQRC_GET_INHIBITED);

  std::string data(64, ' ');
  data.replace(0, 7, "trigger");
  EXPECT_EQ(Set(c.hconn, set, {MQIA_TRIGGER_CONTROL, MQCA_TRIGGER_DATA}, {MQTC_ON}, data).cc, MQCC_OK);
  std::vector<MQLONG> ints(1);
  std::string chars(64, '?');
  Inq(c.hconn, set, {MQIA_TRIGGER_CONTROL, MQCA_TRIGGER_DATA}, ints, chars);
  EXPECT_EQ(ints[0], MQTC_ON);
  EXPECT_EQ(Field(chars.data(), 64), "trigger");

  EXPECT_EQ(Set(c.hconn, set, {MQIA_MAX_Q_DEPTH}, {10}).rc, MQRC_SELECTOR_ERROR);
  EXPECT_EQ(Set(c.hconn, set, {MQCA_Q_DESC}, {}, std::string(64, 'x')).rc, MQRC_SELECTOR_ERROR);
  EXPECT_EQ(Set(c.hconn, set, {MQIA_INHIBIT_PUT}, {7}).rc, MQRC_INHIBIT_VALUE_ERROR);
  EXPECT_EQ(Set(c.hconn, out, {MQIA_INHIBIT_PUT}, {0}).rc, MQRC_NOT_OPEN_FOR_SET);
  // A failing MQSET changes nothing, not even the valid selectors before the bad one.
  EXPECT_EQ(Set(c.hconn, set, {MQIA_INHIBIT_GET, MQIA_MAX_Q_DEPTH}, {MQQA_GET_ALLOWED, 1}).rc, MQRC_SELECTOR_ERROR);
  EXPECT_EQ(Get(c.hconn, in).r.rc, MQRC_GET_INHIBITED);
}
