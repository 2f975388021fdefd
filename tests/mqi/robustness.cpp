// Bad input on the queue manager's socket: oversized, truncated and out-of-order frames
// end only the connection that sent them; a client stalled mid-frame blocks nobody; the
// MQI rejects bad arguments before anything is sent.
#include <cmqc.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

int RawConnect(const vrqtest::StandinQm& qm) {
  const std::string path = qm.dir() + "/" + qm.name() + "/qm.sock";
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

std::string Frame(uint32_t length, uint32_t op, const std::string& payload) {
  std::string f(8, '\0');
  std::memcpy(f.data(), &length, 4);
  std::memcpy(f.data() + 4, &op, 4);
  return f + payload;
}

// True when the server closed the connection (recv sees end of file).
bool Closed(int fd, const std::string& bytes) {
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  char buf[256];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) {
  }
  close(fd);
  return n == 0;
}

}  // namespace

TEST(MqiRobustness, MalformedFramesDropOnlyTheirConnection) {
  vrqtest::StandinQm qm("QM.ROBUST", "DEFINE QLOCAL(Q1)\n");
  Connection good("QM.ROBUST");
  MQHOBJ q;
  ASSERT_EQ(Open(good.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);

  const int stalled = RawConnect(qm);  // half a header, then silence
  ASSERT_GE(stalled, 0);
  send(stalled, "\x10\x00", 2, MSG_NOSIGNAL);

  EXPECT_TRUE(Closed(RawConnect(qm), Frame(0x7FFFFFF0, 5, "")));              // absurd length
  EXPECT_TRUE(Closed(RawConnect(qm), Frame(4, 5, "abcd")));                   // put before connect
  EXPECT_TRUE(Closed(RawConnect(qm), Frame(3, 99, "xyz")));                   // unknown operation
  EXPECT_TRUE(Closed(RawConnect(qm), Frame(12, 1, std::string(12, '\xff'))));  // string longer than payload

  EXPECT_EQ(Put(good.hconn, q, "still served").cc, MQCC_OK);
  EXPECT_EQ(Get(good.hconn, q).data, "still served");
  close(stalled);
  std::thread([] {
    Connection fresh("QM.ROBUST");
    EXPECT_EQ(fresh.r.cc, MQCC_OK);
  }).join();
}

TEST(MqiRobustness, ArgumentsCheckedByTheLibrary) {
  vrqtest::StandinQm qm("QM.ROBUST", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.ROBUST");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED | MQOO_INQUIRE, q).cc, MQCC_OK);
  MQLONG cc, rc, length;
  MQMD md = {MQMD_DEFAULT};
  MQPMO pmo = {MQPMO_DEFAULT};
  MQGMO gmo = {MQGMO_DEFAULT};
  MQPUT(c.hconn, q, &md, &pmo, -1, nullptr, &cc, &rc);
  EXPECT_EQ(rc, MQRC_BUFFER_LENGTH_ERROR);
  MQPUT(c.hconn, q, &md, &pmo, 10, nullptr, &cc, &rc);
  EXPECT_EQ(rc, MQRC_BUFFER_ERROR);
  MQPUT(c.hconn, q, &md, nullptr, 0, nullptr, &cc, &rc);
  EXPECT_EQ(rc, MQRC_PMO_ERROR);
  MQGET(c.hconn, q, &md, &gmo, 10, nullptr, &length, &cc, &rc);
  EXPECT_EQ(rc, MQRC_BUFFER_ERROR);
  gmo.Version = 9;
  MQGET(c.hconn, q, &md, &gmo, 0, nullptr, &length, &cc, &rc);
  EXPECT_EQ(rc, MQRC_GMO_ERROR);
  MQOD od = {MQOD_DEFAULT};
  od.Version = 0;
  MQHOBJ h;
  MQOPEN(c.hconn, &od, MQOO_OUTPUT, &h, &cc, &rc);
  EXPECT_EQ(rc, MQRC_OD_ERROR);
  std::vector<MQLONG> many(300, MQIA_CURRENT_Q_DEPTH), ints(300);
  MQINQ(c.hconn, q, 300, many.data(), 300, ints.data(), 0, nullptr, &cc, &rc);
  EXPECT_EQ(rc, MQRC_SELECTOR_LIMIT_EXCEEDED);
  MQPUT(9999, q, &md, &pmo, 0, nullptr, &cc, &rc);
  EXPECT_EQ(rc, MQRC_HCONN_ERROR);
  MQHCONN none = 9999;
  MQDISC(&none, &cc, &rc);
  EXPECT_EQ(rc, MQRC_HCONN_ERROR);
}
