// Fact publishing: the report's datagram as a collector on 127.0.0.1 receives it, a
// repeating run that still publishes, the environment helpers, and a TCP collector that is
// not there (announced once).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "standin_qm.h"
#include "vrqping.h"
#include "vrqtest.h"

namespace {

// A UDP socket bound to an ephemeral port of 127.0.0.1.
class UdpCollector {
 public:
  UdpCollector() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~UdpCollector() { close(fd_); }
  std::string port() const { return std::to_string(port_); }
  // The next datagram, or "" when none comes within timeout_ms.
  std::string Receive(int timeout_ms = 30000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return "";
    std::vector<char> buf(65536);
    ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
    return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : "";
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

constexpr const char* kDefinitions = "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n";

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

TEST(FactPublishing, ReportSendsThirtyFiveFactsInOneDatagram) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm{"FACT.QM", kDefinitions};
  ASSERT_TRUE(qm.running());
  UdpCollector collector;
  auto r = vrqtest::Run({VRQMQ_PATH, "-mFACT.QM", "-b3", "-w30000", "-h127.0.0.1", "-p" + collector.port()},
                        qm.env());
  EXPECT_EQ(r.status, 0) << r.out;
  std::string text = collector.Receive();
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');  // a datagram carries no line end
  auto facts = Split(text, ',');
  ASSERT_EQ(facts.size(), 35u) << text;
  const std::regex fact(R"(FACT\.QM\\SYSTEM\.ADMIN\.COMMAND\.QUEUE\\(SUMMARY\\|GENERAL\\|MESSAGE\\)?[A-Z_]+=-?\d+(\.\d{4})?)");
  for (const auto& f : facts) EXPECT_TRUE(std::regex_match(f, fact)) << f;
  EXPECT_EQ(facts[3], "FACT.QM\\SYSTEM.ADMIN.COMMAND.QUEUE\\SUMMARY\\MESSAGES_SENT=3");
  EXPECT_EQ(facts[9], "FACT.QM\\SYSTEM.ADMIN.COMMAND.QUEUE\\SUMMARY\\RESPONSES_RECEIVED=3");
  EXPECT_EQ(facts[11], "FACT.QM\\SYSTEM.ADMIN.COMMAND.QUEUE\\SUMMARY\\BYTES_SENT=108");
  EXPECT_TRUE(std::regex_match(facts[30], std::regex(R"(.*\\MESSAGE\\AVERAGE_MSG_LATENCY_WITH_QDEPTH=\d+)")));
  EXPECT_EQ(facts[32], "FACT.QM\\SYSTEM.ADMIN.COMMAND.QUEUE\\MESSAGE\\MAXIMUM_MSG_LATENCY_WITH_QDEPTH=3");
  EXPECT_EQ(facts[34], "FACT.QM\\SYSTEM.ADMIN.COMMAND.QUEUE\\TEST_COMPLETION_CODE=0");
}

TEST(FactPublishing, RepeatingRunPublishesWithoutPrinting) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm{"FACT.QM", kDefinitions};
  UdpCollector collector;
  // Ended after 8 s: a cycle has ended by then, however slowly vrqmq starts.
  auto r = vrqtest::Run({VRQMQ_PATH, "-mFACT.QM", "-b1", "-d1", "-w30000", "-h127.0.0.1", "-p" + collector.port()},
                        qm.env(), 8000);
  EXPECT_EQ(r.out.find("Statistics for queue"), std::string::npos);
  EXPECT_NE(collector.Receive(1000).find("TEST_COMPLETION_CODE=0"), std::string::npos);
  EXPECT_NE(collector.Receive(3000).find("MESSAGES_SENT=1"), std::string::npos);
}

// A collector host that cannot be looked up: the look-up's error is the cause shown, and
// a run whose facts went nowhere does not end with status 0.
TEST(FactPublishing, UnknownHostFailsTheRunWithTheLookUpError) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm{"FACT.QM", kDefinitions};
  auto r = vrqtest::Run({VRQMQ_PATH, "-mFACT.QM", "-b1", "-w30000", "-hno.such.host.invalid"}, qm.env(), 60000);
  EXPECT_NE(r.out.find("ERROR: failed to write to host(service)=no.such.host.invalid(6000)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Description of last errno: host name look-up of \"no.such.host.invalid\" failed: "),
            std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Success"), std::string::npos);
  EXPECT_NE(r.out.find("completed with RC(0)"), std::string::npos);  // the queue manager answered
  EXPECT_NE(r.status, 0);
}

TEST(FactPublishing, EnvironmentHelpersSendToVxOutput) {
  UdpCollector collector;
  SocketRecord* publisher = publishOpen(1);
  ASSERT_NE(publisher, nullptr);
  unsetenv("VX_OUTPUT");
  EXPECT_EQ(publishInt(publisher, "COUNT", 7), 0);  // unset: nothing sent
  EXPECT_EQ(collector.Receive(200), "");
  std::string target = "127.0.0.1:" + collector.port() + " trailing words";
  setenv("VX_OUTPUT", target.c_str(), 1);
  EXPECT_EQ(publishInt(publisher, "COUNT", 7), 0);
  EXPECT_EQ(collector.Receive(), "COUNT=7");
  EXPECT_EQ(publishString(publisher, "STATE", "UP"), 0);
  EXPECT_EQ(collector.Receive(), "STATE=UP");
  unsetenv("VX_OUTPUT");
  publishClose(publisher);
}

TEST(FactPublishing, TcpConnectFailureIsAnnouncedOnce) {
  // A port nobody listens on: bind one, learn its number, close it again.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
  std::string port = std::to_string(ntohs(addr.sin_port));
  close(probe);

  vrqtest::CaptureStdout out;
  SocketRecord* publisher = publishOpen(0);
  ASSERT_NE(publisher, nullptr);
  EXPECT_NE(publishFact(publisher, "127.0.0.1", port.c_str(), "A=1", 0), 0);
  EXPECT_NE(publishFact(publisher, "127.0.0.1", port.c_str(), "A=2", 0), 0);
  publishClose(publisher);
  std::string text = out.text();
  size_t first = text.find("publishFact: ConnectSocket to remote host failed");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("publishFact: ConnectSocket to remote host failed", first + 1), std::string::npos);
  EXPECT_NE(text.find("Will notify next when connection succeeds.\nLast errno: "), std::string::npos);
}

}  // namespace
