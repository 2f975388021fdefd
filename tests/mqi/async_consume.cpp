// MQCB and MQCTL: consumers called on the library's thread, suspend and resume, the wait
// interval running out, stopping from inside a callback, and the structure checks.
#include <cmqc.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "mqi_test.h"

using namespace mqitest;

namespace {

struct Seen {
  std::mutex mu;
  std::vector<std::string> bodies;
  std::vector<MQLONG> reasons;
  std::vector<MQLONG> call_types;
  std::thread::id thread;
  bool stop_inside = false;
  size_t count() {
    std::lock_guard lock(mu);
    return bodies.size();
  }
};

void Consumer(MQHCONN hconn, PMQVOID md, PMQVOID gmo, PMQVOID buffer, PMQCBC cbc) {
  (void)md;
  (void)gmo;
  auto* seen = static_cast<Seen*>(cbc->CallbackArea);
  std::lock_guard lock(seen->mu);
  seen->thread = std::this_thread::get_id();
  seen->call_types.push_back(cbc->CallType);
  seen->reasons.push_back(cbc->Reason);
  if (cbc->CallType == MQCBCT_MSG_REMOVED)
    seen->bodies.emplace_back(static_cast<const char*>(buffer), static_cast<size_t>(cbc->DataLength));
  if (seen->stop_inside && cbc->CallType == MQCBCT_MSG_REMOVED) {
    MQCTLO ctlo = {MQCTLO_DEFAULT};
    MQLONG cc, rc;
    MQCTL(hconn, MQOP_STOP, &ctlo, &cc, &rc);
  }
}

// Up to a minute: the consumer thread may be slow to run on a busy machine.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1200 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return done();
}

Result Register(MQHCONN h, MQHOBJ o, Seen& seen, MQLONG wait = MQWI_UNLIMITED, MQLONG op = MQOP_REGISTER) {
  MQCBD cbd = {MQCBD_DEFAULT};
  cbd.CallbackFunction = reinterpret_cast<MQPTR>(&Consumer);
  cbd.CallbackArea = &seen;
  MQMD md = {MQMD_DEFAULT};
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_WAIT;
  gmo.WaitInterval = wait;
  Result r;
  MQCB(h, op, &cbd, o, &md, &gmo, &r.cc, &r.rc);
  return r;
}

Result Control(MQHCONN h, MQLONG op) {
  MQCTLO ctlo = {MQCTLO_DEFAULT};
  Result r;
  MQCTL(h, op, &ctlo, &r.cc, &r.rc);
  return r;
}

}  // namespace

TEST(MqiAsyncConsume, MessagesReachTheCallbackOnALibraryThread) {
  vrqtest::StandinQm qm("QM.ASYNC", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.ASYNC");
  MQHOBJ in, out;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  Seen seen;
  EXPECT_EQ(Control(c.hconn, MQOP_START).rc, MQRC_NO_CALLBACKS_ACTIVE);
  ASSERT_EQ(Register(c.hconn, in, seen).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, out, "one").cc, MQCC_OK);
  ASSERT_EQ(Control(c.hconn, MQOP_START).cc, MQCC_OK);
  EXPECT_EQ(Control(c.hconn, MQOP_START).rc, MQRC_HCONN_ASYNC_ACTIVE);
  ASSERT_TRUE(WaitFor([&] { return seen.count() == 1; }));
  // Other calls on the handle go on while the consumer waits.
  ASSERT_EQ(Put(c.hconn, out, "two").cc, MQCC_OK);
  ASSERT_TRUE(WaitFor([&] { return seen.count() == 2; }));
  EXPECT_NE(seen.thread, std::this_thread::get_id());

  // Suspended, the consumer is not called; resumed, it gets what arrived meanwhile.
  ASSERT_EQ(Control(c.hconn, MQOP_SUSPEND).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, out, "three").cc, MQCC_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(seen.count(), 2u);
  ASSERT_EQ(Control(c.hconn, MQOP_RESUME).cc, MQCC_OK);
  ASSERT_TRUE(WaitFor([&] { return seen.count() == 3; }));
  ASSERT_EQ(Control(c.hconn, MQOP_STOP).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, out, "four").cc, MQCC_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(seen.count(), 3u);
  EXPECT_EQ(Depth(c.hconn, "Q1"), 1);
  std::lock_guard lock(seen.mu);
  EXPECT_EQ(seen.bodies, (std::vector<std::string>{"one", "two", "three"}));
}

TEST(MqiAsyncConsume, WaitIntervalStopInsideAndStartWait) {
  vrqtest::StandinQm qm("QM.ASYNC", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.ASYNC");
  MQHOBJ in, out;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  {
    // A finite wait interval with nothing arriving: the consumer hears 2033.
    Seen seen;
    ASSERT_EQ(Register(c.hconn, in, seen, 200).cc, MQCC_OK);
    ASSERT_EQ(Control(c.hconn, MQOP_START).cc, MQCC_OK);
    ASSERT_TRUE(WaitFor([&] {
      std::lock_guard lock(seen.mu);
      return !seen.reasons.empty();
    }));
    ASSERT_EQ(Control(c.hconn, MQOP_STOP).cc, MQCC_OK);
    std::lock_guard lock(seen.mu);
    EXPECT_EQ(seen.reasons.front(), MQRC_NO_MSG_AVAILABLE);
    EXPECT_EQ(seen.call_types.front(), MQCBCT_EVENT_CALL);
  }
  {
    // START_WAIT runs the consumer on this thread until it stops the connection itself.
    Seen seen;
    seen.stop_inside = true;
    ASSERT_EQ(Register(c.hconn, in, seen).cc, MQCC_OK);
    ASSERT_EQ(Put(c.hconn, out, "last").cc, MQCC_OK);
    EXPECT_EQ(Control(c.hconn, MQOP_START_WAIT).cc, MQCC_OK);
    EXPECT_EQ(seen.thread, std::this_thread::get_id());
    EXPECT_EQ(seen.count(), 1u);
  }
  Result r;
  MQCB(c.hconn, MQOP_DEREGISTER, nullptr, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.cc, MQCC_OK);
  MQCB(c.hconn, MQOP_DEREGISTER, nullptr, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CALLBACK_NOT_REGISTERED);
  EXPECT_EQ(Control(c.hconn, MQOP_START_WAIT).rc, MQRC_NO_CALLBACKS_ACTIVE);
}

TEST(MqiAsyncConsume, StructuresAndHandlesAreChecked) {
  vrqtest::StandinQm qm("QM.ASYNC", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.ASYNC");
  MQHOBJ in;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  Seen seen;
  EXPECT_EQ(Register(c.hconn, in, seen, MQWI_UNLIMITED, 12345).rc, MQRC_OPERATION_ERROR);
  EXPECT_EQ(Register(c.hconn, 999, seen).rc, MQRC_HOBJ_ERROR);
  MQCBD cbd = {MQCBD_DEFAULT};
  Result r;
  MQCB(c.hconn, MQOP_REGISTER, &cbd, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CALLBACK_ROUTINE_ERROR);
  cbd.CallbackFunction = reinterpret_cast<MQPTR>(&Consumer);
  cbd.CallbackType = 7;
  MQCB(c.hconn, MQOP_REGISTER, &cbd, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CALLBACK_TYPE_ERROR);
  cbd.CallbackType = MQCBT_MESSAGE_CONSUMER;
  cbd.MaxMsgLength = -5;
  MQCB(c.hconn, MQOP_REGISTER, &cbd, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_MAX_MSG_LENGTH_ERROR);
  cbd.StrucId[0] = '?';
  MQCB(c.hconn, MQOP_REGISTER, &cbd, in, nullptr, nullptr, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CBD_ERROR);
  MQCTLO ctlo = {MQCTLO_DEFAULT};
  ctlo.Version = 2;
  MQCTL(c.hconn, MQOP_START, &ctlo, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CTLO_ERROR);
  EXPECT_EQ(Control(c.hconn, 99).rc, MQRC_OPERATION_ERROR);
  EXPECT_EQ(Control(MQHC_UNUSABLE_HCONN, MQOP_START).rc, MQRC_HCONN_ERROR);
}

TEST(MqiAsyncConsume, DisconnectAndQueueManagerDeathEndDelivery) {
  vrqtest::StandinQm qm("QM.ASYNC", "DEFINE QLOCAL(Q1)\n");
  Seen seen;
  {
    Connection c("QM.ASYNC");
    MQHOBJ in;
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
    ASSERT_EQ(Register(c.hconn, in, seen).cc, MQCC_OK);
    ASSERT_EQ(Control(c.hconn, MQOP_START).cc, MQCC_OK);
  }  // MQDISC while started: the delivery thread ends first
  Connection c("QM.ASYNC");
  MQHOBJ in;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  ASSERT_EQ(Register(c.hconn, in, seen).cc, MQCC_OK);
  ASSERT_EQ(Control(c.hconn, MQOP_START).cc, MQCC_OK);
  ASSERT_TRUE(qm.Fault({"drop-connections"}));
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(seen.mu);
    return !seen.reasons.empty() && seen.reasons.back() == MQRC_CONNECTION_BROKEN;
  }));
}
