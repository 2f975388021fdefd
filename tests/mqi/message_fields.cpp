// What the queue manager fills in on MQPUT and MQGET (resolved names, ReplyToQMgr, blank
// padding, the accounting token), message properties set with MQSETMP and carried by
// MQPUT, MQBUFMH/MQMHBUF, and the unit-of-work and status verbs MQBEGIN and MQSTAT.
#include <cmqc.h>

#include <unistd.h>

#include "mqi_test.h"

using namespace mqitest;

namespace {

MQHMSG NewHandle(MQHCONN h) {
  MQHMSG hmsg = MQHM_NONE;
  MQCMHO cmho = {MQCMHO_DEFAULT};
  MQLONG cc, rc;
  MQCRTMH(h, &cmho, &hmsg, &cc, &rc);
  return hmsg;
}

MQCHARV Name(const char* text) {
  MQCHARV v = {MQCHARV_DEFAULT};
  v.VSPtr = const_cast<char*>(text);
  v.VSLength = MQVS_NULL_TERMINATED;
  return v;
}

Result SetProp(MQHCONN h, MQHMSG m, const char* name, MQLONG type, MQLONG length, const void* value) {
  MQSMPO smpo = {MQSMPO_DEFAULT};
  MQPD pd = {MQPD_DEFAULT};
  MQCHARV n = Name(name);
  Result r;
  MQSETMP(h, m, &smpo, &n, &pd, type, length, const_cast<void*>(value), &r.cc, &r.rc);
  return r;
}

struct Inq {
  Result r;
  MQLONG type = MQTYPE_AS_SET;
  std::string value;
  std::string name;
};

Inq InqProp(MQHCONN h, MQHMSG m, const char* name, MQLONG options = MQIMPO_INQ_FIRST, MQLONG want = MQTYPE_AS_SET) {
  MQIMPO impo = {MQIMPO_DEFAULT};
  impo.Options = options;
  char returned[64] = {};
  impo.ReturnedName.VSPtr = returned;
  impo.ReturnedName.VSBufSize = sizeof returned;
  MQPD pd = {MQPD_DEFAULT};
  MQCHARV n = Name(name);
  Inq q;
  q.type = want;
  char buf[128];
  MQLONG length = 0;
  MQINQMP(h, m, &impo, &n, &pd, &q.type, sizeof buf, buf, &length, &q.r.cc, &q.r.rc);
  if (q.r.cc != MQCC_FAILED) {
    q.value.assign(buf, static_cast<size_t>(length));
    q.name.assign(returned, static_cast<size_t>(impo.ReturnedName.VSLength));
  }
  return q;
}

template <typename T>
T As(const std::string& bytes) {
  T v{};
  if (bytes.size() == sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
  return v;
}

}  // namespace

TEST(MqiMessageFields, PutAndGetFillWhatTheQueueManagerOwns) {
  vrqtest::StandinQm qm("QM.FIELDS", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.FIELDS");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  MQMD md = {MQMD_DEFAULT};
  std::memset(md.ReplyToQ, 0, sizeof md.ReplyToQ);
  std::memcpy(md.ReplyToQ, "REPLIES", 7);                 // NUL-terminated, as C programs leave it
  std::memset(md.ReplyToQMgr, 0, sizeof md.ReplyToQMgr);  // blank (all NULs)
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT;
  MQLONG cc, rc;
  MQPUT(c.hconn, q, &md, &pmo, 2, const_cast<char*>("hi"), &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  EXPECT_EQ(Field(pmo.ResolvedQName), "Q1");
  EXPECT_EQ(Field(pmo.ResolvedQMgrName), "QM.FIELDS");

  MQGMO gmo = {MQGMO_DEFAULT};
  Got g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, nullptr, &gmo);
  ASSERT_EQ(g.r.cc, MQCC_OK);
  EXPECT_EQ(std::string(g.md.ReplyToQ, sizeof g.md.ReplyToQ), "REPLIES" + std::string(41, ' '));
  EXPECT_EQ(std::string(g.md.ReplyToQMgr, sizeof g.md.ReplyToQMgr), "QM.FIELDS" + std::string(39, ' '));
  EXPECT_EQ(std::string(g.md.ApplIdentityData, 32), std::string(32, ' '));
  // On UNIX: a length byte, the numeric user id as text, zeros, and the token type last.
  const std::string uid = std::to_string(geteuid());
  EXPECT_EQ(g.md.AccountingToken[0], uid.size());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g.md.AccountingToken) + 1, uid.size()), uid);
  EXPECT_EQ(g.md.AccountingToken[31], MQACTT_UNIX_NUMERIC_ID);

  // ResolvedQName names the queue a message came from: here the dynamic queue a model made.
  MQOD od = QueueOd("SYSTEM.DEFAULT.MODEL.QUEUE");
  std::memcpy(od.DynamicQName, "FIELDS.*", 8);
  MQHOBJ dyn;
  ASSERT_EQ(Open(c.hconn, od, MQOO_OUTPUT | MQOO_INPUT_EXCLUSIVE, dyn).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, dyn, "x").cc, MQCC_OK);
  MQGMO gmo2 = {MQGMO_DEFAULT};
  MQMD md2 = {MQMD_DEFAULT};
  char buf[10];
  MQLONG length;
  MQGET(c.hconn, dyn, &md2, &gmo2, sizeof buf, buf, &length, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  EXPECT_EQ(Field(gmo2.ResolvedQName), Field(od.ObjectName));
  EXPECT_EQ(Field(gmo2.ResolvedQName).substr(0, 7), "FIELDS.");
}

TEST(MqiMessageFields, PropertiesTravelWithTheirTypes) {
  vrqtest::StandinQm qm("QM.FIELDS", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.FIELDS");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  MQHMSG out = NewHandle(c.hconn), in = NewHandle(c.hconn);
  const int32_t count = -42;
  const int64_t big = int64_t{1} << 40;
  const double ratio = 0.25;
  const MQBOOL yes = 1;
  ASSERT_EQ(SetProp(c.hconn, out, "count", MQTYPE_INT32, 4, &count).cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "usr.big", MQTYPE_INT64, 8, &big).cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "ratio", MQTYPE_FLOAT64, 8, &ratio).cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "flag", MQTYPE_BOOLEAN, 4, &yes).cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "text", MQTYPE_STRING, MQVL_NULL_TERMINATED, "a<b & 'c'").cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "raw", MQTYPE_BYTE_STRING, 3, "\x00\xff\x10").cc, MQCC_OK);
  ASSERT_EQ(SetProp(c.hconn, out, "gone", MQTYPE_STRING, 1, "x").cc, MQCC_OK);
  MQDMPO dmpo = {MQDMPO_DEFAULT};
  MQCHARV gone = Name("gone");
  Result del;
  MQDLTMP(c.hconn, out, &dmpo, &gone, &del.cc, &del.rc);
  EXPECT_EQ(del.cc, MQCC_OK);
  MQDLTMP(c.hconn, out, &dmpo, &gone, &del.cc, &del.rc);
  EXPECT_EQ(del.rc, MQRC_PROPERTY_NOT_AVAILABLE);

  // Bad names, types and lengths.
  EXPECT_EQ(SetProp(c.hconn, out, "wild%", MQTYPE_STRING, 1, "x").rc, MQRC_PROPERTY_NAME_ERROR);
  EXPECT_EQ(SetProp(c.hconn, out, "mqReserved", MQTYPE_STRING, 1, "x").rc, MQRC_PROPERTY_NAME_ERROR);
  EXPECT_EQ(SetProp(c.hconn, out, "n", 12345, 1, "x").rc, MQRC_PROPERTY_TYPE_ERROR);
  EXPECT_EQ(SetProp(c.hconn, out, "n", MQTYPE_INT32, 2, &count).rc, MQRC_BUFFER_LENGTH_ERROR);
  EXPECT_EQ(SetProp(c.hconn, 9999, "n", MQTYPE_INT32, 4, &count).rc, MQRC_HMSG_ERROR);

  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.Format, MQFMT_STRING, 8);
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Version = MQPMO_VERSION_3;
  pmo.Options = MQPMO_NO_SYNCPOINT;
  pmo.OriginalMsgHandle = out;
  Result put;
  MQPUT(c.hconn, q, &md, &pmo, 4, const_cast<char*>("body"), &put.cc, &put.rc);
  ASSERT_EQ(put.cc, MQCC_OK);
  EXPECT_EQ(std::string(md.Format, 8), MQFMT_STRING);   // the putter's descriptor is its own

  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Version = MQGMO_VERSION_4;
  gmo.MsgHandle = in;
  Got g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, nullptr, &gmo);
  ASSERT_EQ(g.r.cc, MQCC_OK);
  EXPECT_EQ(g.data, "body");
  EXPECT_EQ(std::string(g.md.Format, 8), MQFMT_STRING);
  Inq q1 = InqProp(c.hconn, in, "count");
  EXPECT_EQ(q1.type, MQTYPE_INT32);
  EXPECT_EQ(As<int32_t>(q1.value), -42);
  EXPECT_EQ(As<int64_t>(InqProp(c.hconn, in, "big").value), big);
  EXPECT_EQ(As<double>(InqProp(c.hconn, in, "ratio").value), 0.25);
  Inq flag = InqProp(c.hconn, in, "flag");
  EXPECT_EQ(flag.type, MQTYPE_BOOLEAN);
  EXPECT_EQ(As<MQBOOL>(flag.value), 1);
  EXPECT_EQ(InqProp(c.hconn, in, "text").value, "a<b & 'c'");
  EXPECT_EQ(InqProp(c.hconn, in, "raw").value, std::string("\x00\xff\x10", 3));
  EXPECT_EQ(InqProp(c.hconn, in, "gone").r.rc, MQRC_PROPERTY_NOT_AVAILABLE);
  // Asked as a string, a number converts; a string that is no number does not.
  Inq as_text = InqProp(c.hconn, in, "count", MQIMPO_CONVERT_TYPE, MQTYPE_STRING);
  EXPECT_EQ(as_text.value, "-42");
  EXPECT_EQ(InqProp(c.hconn, in, "text", MQIMPO_CONVERT_TYPE, MQTYPE_INT32).r.rc, MQRC_PROP_NUMBER_FORMAT_ERROR);
  // Walking every property with a wildcard.
  std::vector<std::string> names;
  for (Inq i = InqProp(c.hconn, in, "%"); i.r.cc == MQCC_OK; i = InqProp(c.hconn, in, "%", MQIMPO_INQ_NEXT))
    names.push_back(i.name);
  EXPECT_EQ(names, (std::vector<std::string>{"count", "big", "ratio", "flag", "text", "raw"}));

  // MQMHBUF writes the handle's properties as an MQRFH2; MQBUFMH takes them back.
  char buffer[1024];
  MQMHBO mhbo = {MQMHBO_DEFAULT};
  MQCHARV all = Name("%");
  MQMD hmd = {MQMD_DEFAULT};
  std::memcpy(hmd.Format, MQFMT_STRING, 8);
  MQLONG length = 0, cc, rc;
  MQMHBUF(c.hconn, in, &mhbo, &all, &hmd, sizeof buffer, buffer, &length, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  EXPECT_EQ(std::string(buffer, 4), "RFH ");
  MQMHBUF(c.hconn, in, &mhbo, &all, &hmd, 10, buffer, &length, &cc, &rc);
  EXPECT_EQ(rc, MQRC_PROPERTY_VALUE_TOO_BIG);
  MQLONG rfh2_length = length;
  std::memcpy(buffer + rfh2_length, "tail", 4);
  MQHMSG back = NewHandle(c.hconn);
  MQBMHO bmho = {MQBMHO_DEFAULT};
  MQBUFMH(c.hconn, back, &bmho, &hmd, rfh2_length + 4, buffer, &length, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(buffer, 4), "tail");
  EXPECT_EQ(std::string(hmd.Format, 8), MQFMT_STRING);
  EXPECT_EQ(As<int64_t>(InqProp(c.hconn, back, "big").value), big);
}

TEST(MqiMessageFields, BeginAndStatus) {
  vrqtest::StandinQm qm("QM.FIELDS", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.FIELDS");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  MQBO bo = {MQBO_DEFAULT};
  Result r;
  MQBEGIN(c.hconn, &bo, &r.cc, &r.rc);
  EXPECT_EQ(r.cc, MQCC_WARNING);
  EXPECT_EQ(r.rc, MQRC_NO_EXTERNAL_PARTICIPANTS);
  MQBEGIN(c.hconn, &bo, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_UOW_IN_PROGRESS);
  ASSERT_EQ(Put(c.hconn, q, "in unit", MQPMO_SYNCPOINT).cc, MQCC_OK);
  MQBACK(c.hconn, &r.cc, &r.rc);
  EXPECT_EQ(Depth(c.hconn, "Q1"), 0);
  // A unit begun by a syncpoint put is a unit in progress too.
  ASSERT_EQ(Put(c.hconn, q, "local unit", MQPMO_SYNCPOINT).cc, MQCC_OK);
  MQBEGIN(c.hconn, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_UOW_IN_PROGRESS);
  MQCMIT(c.hconn, &r.cc, &r.rc);
  MQBEGIN(c.hconn, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_NO_EXTERNAL_PARTICIPANTS);
  MQCMIT(c.hconn, &r.cc, &r.rc);
  bo.Version = 2;
  MQBEGIN(c.hconn, &bo, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_BO_ERROR);

  // Asynchronous-response puts are counted for MQSTAT, which then starts again from zero.
  MQOD bad = QueueOd("NO.SUCH.Q");
  MQMD md = {MQMD_DEFAULT};
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_ASYNC_RESPONSE | MQPMO_NO_SYNCPOINT;
  MQPUT(c.hconn, q, &md, &pmo, 1, const_cast<char*>("a"), &r.cc, &r.rc);
  md = {MQMD_DEFAULT};
  MQPUT(c.hconn, q, &md, &pmo, 1, const_cast<char*>("b"), &r.cc, &r.rc);
  md = {MQMD_DEFAULT};
  MQPUT1(c.hconn, &bad, &md, &pmo, 1, const_cast<char*>("c"), &r.cc, &r.rc);
  MQSTS sts = {MQSTS_DEFAULT};
  MQSTAT(c.hconn, MQSTAT_TYPE_ASYNC_ERROR, &sts, &r.cc, &r.rc);
  EXPECT_EQ(r.cc, MQCC_OK);
  EXPECT_EQ(sts.PutSuccessCount, 2);
  EXPECT_EQ(sts.PutFailureCount, 1);
  EXPECT_EQ(sts.Reason, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(Field(sts.ObjectName), "NO.SUCH.Q");
  MQSTAT(c.hconn, MQSTAT_TYPE_ASYNC_ERROR, &sts, &r.cc, &r.rc);
  EXPECT_EQ(sts.PutSuccessCount, 0);
  EXPECT_EQ(sts.Reason, MQRC_NONE);
  MQSTAT(c.hconn, 7, &sts, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_STAT_TYPE_ERROR);
  sts.StrucId[0] = 'x';
  MQSTAT(c.hconn, MQSTAT_TYPE_ASYNC_ERROR, &sts, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_STS_ERROR);
}
