// MQueue against a stand-in queue manager: one-shot puts with an alternate user, reads that
// grow their buffer, descriptor-only reads, clearing, dynamic queues, attribute access by
// name, message handles and the trace points.
#include <cmqc.h>

#include <algorithm>
#include <memory>

#include "mqtx_test.h"

namespace {

using namespace mqtxtest;

struct QueueDeleter {
  void operator()(MQueue* q) const { DeleteMQueue(q); }
};
using Queue = std::unique_ptr<MQueue, QueueDeleter>;

struct Message {
  MESSAGE m{};
  explicit Message(int capacity) { CreateMessage(&m, capacity); }
  ~Message() { DeleteMessage(&m); }
  void Fill(const std::string& data) {
    SizeMessage(&m, static_cast<int>(data.size()));
    std::memcpy(m.pData, data.data(), data.size());
    m.lMsgLength = MDHDR_LENGTH + static_cast<MQLONG>(data.size());
  }
  std::string Data() const {
    return std::string(m.pData, static_cast<std::size_t>(m.lMsgLength - MDHDR_LENGTH));
  }
};

const char* kDefinitions =
    "DEFINE QLOCAL(APP.Q) MAXDEPTH(10)\n"
    "DEFINE QLOCAL(APP.NOGET) GET(DISABLED)\n";

TEST(QueueObject, OneShotPutWithAlternateUserAndReadGrowingItsBuffer) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.QUEUE", kDefinitions);
  ASSERT_TRUE(qm.running());
  Conn c(qm.name());
  ASSERT_EQ(c.cc, MQCC_OK);

  Traces().clear();
  OnGQTrace(RecordQueue, nullptr);
  Queue out(CreateMQueue(c.h, "APP.Q"));
  OnGQTrace(nullptr, nullptr);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->lKind, MQUEUE_KIND);
  EXPECT_EQ(out->hObj, -1);
  std::memcpy(out->ObjDesc.AlternateUserId, "alice       ", MQ_USER_ID_LENGTH);
  const std::string big(5000, 'x');
  Message msg(16);
  msg.Fill(big);
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT;
  ASSERT_EQ(qqWrite(&msg.m, &pmo, out.get()), 1) << out->lReason;
  EXPECT_NE(pmo.Options & MQPMO_SET_IDENTITY_CONTEXT, 0);
  EXPECT_NE(pmo.Options & MQPMO_ALTERNATE_USER_AUTHORITY, 0);
  EXPECT_EQ(out->hObj, -1);  // the queue was never opened: MQPUT1
  const std::vector<std::string> expected = {"Q CreateMQueue", "Q qqWrite: before",
                                             "Q qqWrite: after"};
  EXPECT_EQ(Traces(), expected);

  Queue in(CreateMQueue(c.h, "APP.Q"));
  ASSERT_EQ(qqOpen(MQOO_INPUT_SHARED, in.get(), " "), 1);
  EXPECT_EQ(Trimmed(in->szName, 48), "APP.Q");
  Message got(16);
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT;
  ASSERT_EQ(qqRead(&got.m, &gmo, in.get()), 1) << in->lReason;
  EXPECT_EQ(got.Data(), big);
  EXPECT_EQ(Trimmed(got.m.MsgDesc.UserIdentifier, MQ_USER_ID_LENGTH), "alice");
  EXPECT_GE(got.m.lMaxLength, got.m.lMsgLength);

  // Nothing left: the read fails with 2033, closing twice succeeds.
  gmo = MQGMO{MQGMO_DEFAULT};
  EXPECT_EQ(qqRead(&got.m, &gmo, in.get()), 0);
  EXPECT_EQ(in->lReason, MQRC_NO_MSG_AVAILABLE);
  EXPECT_EQ(qqClose(in.get()), 1);
  EXPECT_EQ(in->hObj, -1);
  EXPECT_EQ(qqClose(in.get()), 1);
}

TEST(QueueObject, TruncatedReadsStayInsideTheBufferAndHeaderReads) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.QUEUE", kDefinitions);
  Conn c(qm.name());
  ASSERT_EQ(Put(c.h, "APP.Q", std::string(300, 'a')), MQRC_NONE);
  ASSERT_EQ(Put(c.h, "APP.Q", std::string(200, 'b')), MQRC_NONE);
  Queue q(CreateMQueue(c.h, "APP.Q"));
  ASSERT_EQ(qqOpen(MQOO_INPUT_SHARED, q.get(), ""), 1);

  MESSAGE hdr{};
  ASSERT_EQ(CreateMessage(&hdr, 0), 1);
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG;
  ASSERT_EQ(qqReadHdr(&hdr, &gmo, q.get()), 1);
  EXPECT_EQ(q->lReason, MQRC_NONE);
  EXPECT_EQ(hdr.MsgDesc.OriginalLength, 300);
  EXPECT_EQ(hdr.lMsgLength, MDHDR_LENGTH);
  DeleteMessage(&hdr);

  // Accepted truncation: the used length is the buffer's, never more.
  Message small(50);
  gmo = MQGMO{MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG;
  vrqtest::CaptureStdout out;
  EXPECT_EQ(qqRead(&small.m, &gmo, q.get()), 0);
  EXPECT_EQ(q->lReason, MQRC_TRUNCATED_MSG_ACCEPTED);
  EXPECT_EQ(small.m.lMsgLength, small.m.lMaxLength);
  EXPECT_EQ(small.Data(), std::string(50, 'b'));
  EXPECT_EQ(out.text(),
            "qqRead may fail, buffer to small, RC(2079), Available Buffer (50), "
            "Required Buffer (200)\n");
}

TEST(QueueObject, ClearEmptiesQueuesAndReportsFailures) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.QUEUE", kDefinitions);
  Conn c(qm.name());
  Queue q(CreateMQueue(c.h, "APP.Q"));
  ASSERT_EQ(qqOpen(MQOO_INPUT_SHARED | MQOO_INQUIRE, q.get(), ""), 1);
  EXPECT_EQ(qqClear(q.get()), 1);  // empty queue
  EXPECT_EQ(q->lReason, MQRC_NO_MSG_AVAILABLE);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Put(c.h, "APP.Q", std::string(40000, 'z')), MQRC_NONE);
  ASSERT_EQ(Put(c.h, "APP.Q", "small"), MQRC_NONE);
  EXPECT_EQ(qqClear(q.get()), 1);
  MQLONG depth = -1, maxDepth = -1;
  ASSERT_EQ(qqGetStats(q.get(), &depth, &maxDepth), 1);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(maxDepth, 10);

  Queue noGet(CreateMQueue(c.h, "APP.NOGET"));
  ASSERT_EQ(qqOpen(MQOO_INPUT_SHARED, noGet.get(), ""), 1);
  EXPECT_EQ(qqClear(noGet.get()), 0);
  EXPECT_EQ(noGet->lReason, MQRC_GET_INHIBITED);
  Queue notOpen(CreateMQueue(c.h, "APP.Q"));
  EXPECT_EQ(qqClear(notOpen.get()), 0);
}

TEST(QueueObject, DynamicQueueTakesTheGeneratedName) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.QUEUE", kDefinitions);
  Conn c(qm.name());
  Queue q(CreateMQDynamic(c.h, "SYSTEM.DEFAULT.MODEL.QUEUE", "MY.DYN.*"));
  ASSERT_TRUE(q);
  EXPECT_STREQ(q->szName, "MY.DYN.*");
  ASSERT_EQ(qqOpen(MQOO_INPUT_EXCLUSIVE | MQOO_INQUIRE, q.get(), ""), 1) << q->lReason;
  EXPECT_EQ(std::strlen(q->szName), 48u);
  const std::string name = Trimmed(q->szName, 48);
  EXPECT_EQ(name.rfind("MY.DYN.", 0), 0u);
  EXPECT_GT(name.size(), 7u);
  EXPECT_EQ(qqIsOpen(q.get()), 1);
  EXPECT_EQ(qqIsOpenInput(q.get()), 1);  // this object is its input opener

  // Reopening from another model through qqOpenDynamic uses the object's current name.
  Queue d(CreateMQueue(c.h, "YOUR.DYN.*"));
  ASSERT_EQ(qqOpenDynamic(MQOO_INPUT_EXCLUSIVE, d.get(), "SYSTEM.DEFAULT.MODEL.QUEUE", ""), 1);
  EXPECT_EQ(Trimmed(d->szName, 48).rfind("YOUR.DYN.", 0), 0u);
  Queue missing(CreateMQDynamic(c.h, "NO.SUCH.MODEL", "X.*"));
  EXPECT_EQ(qqOpen(MQOO_INPUT_EXCLUSIVE, missing.get(), ""), 0);
  EXPECT_EQ(missing->lReason, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(qqIsOpen(missing.get()), 0);

  // Names longer than 48 characters are cut.
  Queue longName(CreateMQueue(c.h, std::string(80, 'L').c_str()));
  EXPECT_EQ(std::string(longName->szName), std::string(48, 'L'));
}

TEST(QueueObject, AttributesByNameAndMessageHandles) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.QUEUE", kDefinitions);
  Conn c(qm.name());
  ASSERT_EQ(Put(c.h, "APP.Q", "one"), MQRC_NONE);
  MQLONG value = 0, reason = -1;
  ASSERT_EQ(qqGetIntAttr(c.h, "APP.Q", MQIA_MAX_Q_DEPTH, &value, &reason), 1);
  EXPECT_EQ(value, 10);
  EXPECT_EQ(reason, MQRC_NONE);
  EXPECT_EQ(qqGetIntAttr(c.h, "NO.SUCH.Q", MQIA_MAX_Q_DEPTH, &value, &reason), 0);
  EXPECT_EQ(reason, MQRC_UNKNOWN_OBJECT_NAME);

  MQLONG depth = -1, maxDepth = -1, input = -1, output = -1, trigger = -1;
  ASSERT_EQ(qqGetAllQStats(c.h, "APP.Q", &depth, &maxDepth, &input, &output, &trigger, &reason),
            1);
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(maxDepth, 10);
  EXPECT_EQ(input, 0);
  EXPECT_EQ(output, 0);
  EXPECT_EQ(trigger, MQTC_OFF);

  std::string data = "trigger data";
  data.resize(MQ_TRIGGER_DATA_LENGTH, ' ');
  ASSERT_EQ(qqSetCharAttr(c.h, "APP.Q", MQCA_TRIGGER_DATA, MQ_TRIGGER_DATA_LENGTH, data.c_str(),
                          &reason),
            1)
      << reason;
  EXPECT_EQ(qqSetCharAttr(c.h, "APP.Q", MQCA_Q_DESC, MQ_Q_DESC_LENGTH, data.c_str(), &reason), 0);
  EXPECT_NE(reason, MQRC_NONE);

  Queue q(CreateMQueue(c.h, "APP.Q"));
  ASSERT_EQ(qqOpen(MQOO_INQUIRE, q.get(), ""), 1);
  EXPECT_EQ(qqGetIntAttr2(q.get(), MQIA_CURRENT_Q_DEPTH, &value), 1);
  EXPECT_EQ(value, 1);

  MQHMSG handle = MQHM_NONE;
  ASSERT_EQ(qqOpenMsgHandle(c.h, MQCMHO_DEFAULT_VALIDATION, &handle, &reason), 1) << reason;
  MQPD pd = {MQPD_DEFAULT};
  MQLONG type = 0, length = 0;
  char buffer[64];
  EXPECT_EQ(qqGetMsgProperty(c.h, handle, MQIMPO_INQ_FIRST, "usr.color", &pd, &type,
                             sizeof buffer, buffer, &length, &reason),
            0);
  EXPECT_EQ(reason, MQRC_PROPERTY_NOT_AVAILABLE);
  EXPECT_EQ(qqCloseMsgHandle(c.h, MQDMHO_NONE, &handle, &reason), 1) << reason;
}

}  // namespace
