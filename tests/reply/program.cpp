// vrrpl end to end against the stand-in queue manager: usage and start-up failures,
// replies to the output queue (plain, MQRFH2 in both byte orders, full-size, unaltered),
// replies to each request's reply-to queue with one of them missing, the per-message
// trace, and a failing put that backs the request out and stops the program.
#include <gtest/gtest.h>

#include <cmqc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "vrqapi.h"
#include "vrqtest.h"

namespace {

const std::string kVrrpl = std::string(VRQ_BINARY_DIR) + "/tools/reply/vrrpl";
const std::string kSim = std::string(VRQ_BINARY_DIR) + "/mqi/vrqsim";
const char* kQm = "RPLQM";

// A running stand-in queue manager in a temporary directory with the test queues.
class StandIn {
 public:
  StandIn() {
    setenv("VRQSIM_DIR", dir_.path().c_str(), 1);
    vrqtest::WriteFile(dir_.file("defs"),
                       "DEFINE QLOCAL(IN)\nDEFINE QLOCAL(OUT)\nDEFINE QLOCAL(REPLYQ)\n");
    Sim({"create", kQm, "-d", dir_.file("defs")});
    Sim({"start", kQm});
  }
  ~StandIn() {
    Sim({"stop", kQm});
    Sim({"delete", kQm});
  }
  void Sim(std::vector<std::string> args) {
    args.insert(args.begin(), kSim);
    const auto r = vrqtest::Run(args);
    EXPECT_EQ(r.status, 0) << args[1] << ": " << r.out << r.err;
  }

 private:
  vrqtest::TempDir dir_;
};

// Copies a name into an MQ field without a terminator, as the MQI takes it.
template <size_t N, typename T>
void SetField(T (&field)[N], const char* text) {
  std::memcpy(field, text, std::min(std::strlen(text), N));
}

struct Message {
  MQMD md = {MQMD_DEFAULT};
  std::string data;
};

// The test's own connection for putting requests and reading replies.
class Client {
 public:
  Client() {
    MQLONG cc = 0, rc = 0;
    MQCONN(const_cast<char*>(kQm), &hcon_, &cc, &rc);
    EXPECT_EQ(cc, MQCC_OK) << rc;
  }
  ~Client() {
    MQLONG cc = 0, rc = 0;
    MQDISC(&hcon_, &cc, &rc);
  }

  void Put(const char* queue, const std::string& data, const char* msg_id = nullptr,
           const char* reply_to = nullptr) {
    MQOD od = {MQOD_DEFAULT};
    SetField(od.ObjectName, queue);
    MQMD md = {MQMD_DEFAULT};
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = MQPMO_NO_SYNCPOINT;
    if (msg_id != nullptr) SetField(md.MsgId, msg_id);
    if (reply_to != nullptr) SetField(md.ReplyToQ, reply_to);
    MQLONG cc = 0, rc = 0;
    MQPUT1(hcon_, &od, &md, &pmo, static_cast<MQLONG>(data.size()),
           const_cast<char*>(data.data()), &cc, &rc);
    ASSERT_EQ(rc, MQRC_NONE);
  }

  std::optional<Message> Get(const char* queue) {
    MQHOBJ hobj = Open(queue, MQOO_INPUT_SHARED);
    Message m;
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Options = MQGMO_NO_WAIT | MQGMO_NO_SYNCPOINT;
    std::vector<char> buffer(65536);
    MQLONG length = 0, cc = 0, rc = 0;
    MQGET(hcon_, hobj, &m.md, &gmo, static_cast<MQLONG>(buffer.size()), buffer.data(), &length,
          &cc, &rc);
    MQCLOSE(hcon_, &hobj, MQCO_NONE, &cc, &rc);
    if (length == 0 && m.md.MsgType != MQMT_REPLY) return std::nullopt;
    m.data.assign(buffer.data(), static_cast<size_t>(length));
    return m;
  }

  MQLONG Depth(const char* queue) {
    MQHOBJ hobj = Open(queue, MQOO_INQUIRE);
    MQLONG selector = MQIA_CURRENT_Q_DEPTH, depth = -1, cc = 0, rc = 0;
    MQINQ(hcon_, hobj, 1, &selector, 1, &depth, 0, nullptr, &cc, &rc);
    MQCLOSE(hcon_, &hobj, MQCO_NONE, &cc, &rc);
    return depth;
  }

 private:
  MQHOBJ Open(const char* queue, MQLONG options) {
    MQOD od = {MQOD_DEFAULT};
    SetField(od.ObjectName, queue);
    MQHOBJ hobj = MQHO_UNUSABLE_HOBJ;
    MQLONG cc = 0, rc = 0;
    MQOPEN(hcon_, &od, options, &hobj, &cc, &rc);
    EXPECT_EQ(rc, MQRC_NONE) << queue;
    return hobj;
  }

  MQHCONN hcon_ = MQHC_UNUSABLE_HCONN;
};

vrqtest::ProcessResult Vrrpl(std::vector<std::string> args, std::vector<std::string> env = {}) {
  args.insert(args.begin(), kVrrpl);
  return vrqtest::Run(args, env, 30000);
}

// Masks what changes between runs: version and build date, buffer address, duration.
std::string Masked(std::string out) {
  out = vrqtest::Mask(out, "V[0-9.]+, [A-Z][a-z]{2} [ 0-9]{2} [0-9]{4}", "V<version>, <date>");
  out = vrqtest::Mask(out, "Msg Buffer 0x[0-9a-f]+", "Msg Buffer <addr>");
  return vrqtest::Mask(out, "Duration time is <[0-9]+\\.[0-9]{6}>", "Duration time is <time>");
}

std::string Long(int32_t v, bool swap) {
  const uint32_t u = swap ? bwlong(static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
  std::string s(4, '\0');
  std::memcpy(s.data(), &u, 4);
  return s;
}

std::string Rfh2(const std::string& folder, const std::string& body, bool swap) {
  return "RFH " + Long(2, swap) + Long(40 + static_cast<int32_t>(folder.size()), swap) +
         Long(546, swap) + Long(1208, swap) + "MQHRF2  " + Long(0, swap) + Long(1208, swap) +
         Long(static_cast<int32_t>(folder.size()), swap) + folder + body;
}

TEST(ReplyProgram, UsageAndStartUpFailures) {
  auto r = Vrrpl({"Q1"});
  EXPECT_EQ(r.status, 99);
  EXPECT_EQ(Masked(r.out), vrqtest::DataFile("reply/usage.txt"));

  {
    StandIn qm;
    r = Vrrpl({"NOPE", "OUT", kQm, "100"});
    EXPECT_EQ(r.status, MQRC_UNKNOWN_OBJECT_NAME & 0xff);
    EXPECT_NE(r.out.find(kVrrpl + " failed to open request queue, RC(2085)\n"), std::string::npos);
    r = Vrrpl({"IN", "NOPE", kQm, "100"});
    EXPECT_NE(r.out.find(" failed to open reply queue, RC(2085)\n"), std::string::npos);
  }
  // The queue manager has gone: the exit status is the reason (as far as it fits).
  r = Vrrpl({"IN", "OUT", kQm, "100"});
  const auto at = r.out.find(kVrrpl + " failed to connect, RC(");
  ASSERT_NE(at, std::string::npos) << r.out;
  const int reason = std::atoi(r.out.c_str() + at + kVrrpl.size() + 23);
  EXPECT_TRUE(reason == MQRC_Q_MGR_NOT_AVAILABLE || reason == MQRC_Q_MGR_NAME_ERROR) << reason;
  EXPECT_EQ(r.status, reason & 0xff);
}

TEST(ReplyProgram, RepliesToTheOutputQueue) {
  StandIn qm;
  Client c;
  const std::string folder = "<mcd><Msd>jms_none</Msd></mcd>  ";
  c.Put("IN", std::string(100, 'p'), "REQ-PLAIN");
  c.Put("IN", Rfh2(folder, "native body", false));
  c.Put("IN", Rfh2(folder, "swapped body", true));
  c.Put("IN", std::string(32760, 'f'));
  c.Put("IN", std::string(40000, 't'));  // truncated to the buffer and replied as such

  const auto start = std::chrono::steady_clock::now();
  const auto r = Vrrpl({"IN", "OUT", kQm, "700"});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(700));
  EXPECT_NE(r.out.find("Output queue is OUT\nMQGET ended with reason code 2079\n  Putting message\n"
                       "no more messages\nDuration time is <"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("> for 5 messages\n"), std::string::npos) << r.out;
  EXPECT_EQ(c.Depth("IN"), 0);

  auto m = c.Get("OUT");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, std::string(100, 'p') + " - REPLY GENERATED");
  EXPECT_EQ(m->md.MsgType, MQMT_REPLY);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m->md.CorrelId), 9), "REQ-PLAIN");
  EXPECT_EQ(std::memcmp(m->md.MsgId, m->md.CorrelId, MQ_MSG_ID_LENGTH), 0);
  for (bool swapped : {false, true}) {
    m = c.Get("OUT");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data.substr(20, 8), "MQSTR   ");
    EXPECT_EQ(m->data.substr(40, folder.size()), "<mcd><Msd>jms_text</Msd></mcd>  ");
    EXPECT_EQ(m->data.substr(72, 16), "REPLY GENERATED ") << swapped;
  }
  m = c.Get("OUT");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, std::string(32760, 'f'));
  m = c.Get("OUT");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, std::string(32768, 't'));
}

TEST(ReplyProgram, NoLeavesTheDataUnchanged) {
  StandIn qm;
  Client c;
  c.Put("IN", "as it was");
  const auto r = Vrrpl({"IN", "OUT", kQm, "200", "NO"});
  EXPECT_NE(r.out.find("> for 1 messages\n"), std::string::npos) << r.out;
  const auto m = c.Get("OUT");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, "as it was");
}

TEST(ReplyProgram, RepliesToEachRequestsReplyToQueue) {
  StandIn qm;
  Client c;
  c.Put("IN", "first", nullptr, "REPLYQ");
  c.Put("IN", "lost", nullptr, "MISSING.Q");
  c.Put("IN", "third", nullptr, "REPLYQ");
  const auto r = Vrrpl({"IN", "*", kQm, "200"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Output queue is copied from inbound message\n"), std::string::npos);
  EXPECT_NE(r.out.find("Reply queue not available\nno more messages\n"), std::string::npos) << r.out;
  EXPECT_EQ(c.Depth("IN"), 0);  // the request without a reply queue is consumed
  EXPECT_EQ(c.Depth("REPLYQ"), 2);
  auto m = c.Get("REPLYQ");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, "first - REPLY GENERATED");
  EXPECT_EQ(m->md.Report, MQRO_NONE);
  m = c.Get("REPLYQ");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, "third - REPLY GENERATED");
}

TEST(ReplyProgram, TraceShowsIdentifiersAndData) {
  StandIn qm;
  Client c;
  c.Put("IN", "hello", "ID-ONE");
  c.Put("IN", "second request!", "ID-TWO");
  const auto r = Vrrpl({"IN", "OUT", kQm, "200"}, {"VXTM_TEST_TRACE=1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Masked(r.out), vrqtest::DataFile("reply/trace.txt"));
}

TEST(ReplyProgram, FailingPutBacksTheRequestOutAndStops) {
  StandIn qm;
  Client c;
  c.Put("IN", "one");
  c.Put("IN", "two");
  qm.Sim({"fault", kQm, "put-inhibit", "OUT"});
  const auto r = Vrrpl({"IN", "OUT", kQm, "200"});
  EXPECT_EQ(r.status, MQRC_PUT_INHIBITED % 256);  // the failure that ended the loop
  EXPECT_NE(r.out.find("MQPUT ended with reason code 2051\nDuration time is <"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("> for 0 messages\n"), std::string::npos);
  EXPECT_EQ(c.Depth("IN"), 2);
  EXPECT_EQ(c.Depth("OUT"), 0);
  const auto m = c.Get("IN");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->data, "one");
  EXPECT_EQ(m->md.BackoutCount, 1);
}

}  // namespace
