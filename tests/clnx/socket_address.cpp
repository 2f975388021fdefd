// Address resolution and the connect/bind action: decimal and named services, "*" and
// "@", dotted text winning over the host, the library's codes for unknown hosts and
// services, texts that fill their whole field, and the trace points of a connect.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>
#include <string>
#include <vector>

#include "clnx_test.h"

namespace {

// An unknown host name: the Windows build reports the resolver's WinSock code.
#ifdef _WIN32
constexpr int kNoHost = WSAHOST_NOT_FOUND;
#else
constexpr int kNoHost = VRQ_SOCK_NO_HOST;
#endif

using clnxtest::Address;

// A host name that fails without asking any name server: its first label is too long.
const std::string kBadHost = std::string(70, 'x') + ".invalid";

struct Resolver : ::testing::Test {
  clnxtest::Socket sock;
  sockaddr_in sys{};
  void SetUp() override { ASSERT_EQ(CreateSocket(sock.get()), 1); }
  int Resolve(SocketAddress addr) { return AddrToIP(sock.get(), &addr, &sys); }
  std::string Ip() const { return inet_ntoa(sys.sin_addr); }
  unsigned Port() const { return ntohs(sys.sin_port); }
};

TEST_F(Resolver, Services) {
  SocketAddress addr = Address("127.0.0.1", "1414");
  ASSERT_EQ(AddrToIP(sock.get(), &addr, &sys), 1);
  EXPECT_EQ(Port(), 1414u);
  EXPECT_EQ(addr.ulPort, 1414u);
  ASSERT_EQ(Resolve(Address("127.0.0.1", "ssh")), 1);
  EXPECT_EQ(Port(), 22u);
  ASSERT_EQ(Resolve(Address("127.0.0.1", "domain", "", "udp")), 1);
  EXPECT_EQ(Port(), 53u);

  EXPECT_EQ(Resolve(Address("127.0.0.1", "no-such-service")), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_SERVICE);
  EXPECT_EQ(Resolve(Address("127.0.0.1", "")), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_SERVICE);
  EXPECT_EQ(Resolve(Address("127.0.0.1", "70000")), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_SERVICE);
}

TEST_F(Resolver, Hosts) {
  ASSERT_EQ(Resolve(Address("*", "80", "10.9.9.9")), 1);
  EXPECT_EQ(sys.sin_addr.s_addr, htonl(INADDR_ANY));
  EXPECT_EQ(sys.sin_family, AF_INET);
  ASSERT_EQ(Resolve(Address("@", "80")), 1);
  EXPECT_EQ(Ip(), "127.0.0.1");
  ASSERT_EQ(Resolve(Address("localhost", "80")), 1);
  EXPECT_EQ(Ip(), "127.0.0.1");
  // A valid dotted ip wins over the host, which is then never looked up.
  ASSERT_EQ(Resolve(Address(kBadHost, "80", "127.0.0.2")), 1);
  EXPECT_EQ(Ip(), "127.0.0.2");
  // An unknown host falls back on an ip that is not strictly dotted but still an address.
  ASSERT_EQ(Resolve(Address(kBadHost, "80", "127.1")), 1);
  EXPECT_EQ(Ip(), "127.0.0.1");

  EXPECT_EQ(Resolve(Address(kBadHost, "80")), 0);
  EXPECT_EQ(sock->lLastError, kNoHost);
  EXPECT_EQ(Resolve(Address("300.1.1.1", "80")), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_HOST);
}

TEST_F(Resolver, FullFieldsAreCutNeverOverrun) {
  SocketAddress addr;
  std::memset(&addr, 'x', sizeof addr);
  EXPECT_EQ(AddrToIP(sock.get(), &addr, &sys), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_SERVICE);

  std::memset(&addr, '7', sizeof addr);  // a 33-digit "port" is out of range
  EXPECT_EQ(AddrToIP(sock.get(), &addr, &sys), 0);
  EXPECT_EQ(sock->lLastError, VRQ_SOCK_NO_SERVICE);

  std::memset(&addr, 'x', sizeof addr);
  std::strcpy(addr.szService, "80");
  EXPECT_EQ(ConnectSocket(sock.get(), &addr), 0);
  EXPECT_EQ(sock->lLastError, kNoHost);
  EXPECT_EQ(addr.szHost[sizeof addr.szHost - 1], '\0');
  EXPECT_EQ(addr.szIp[sizeof addr.szIp - 1], '\0');
  EXPECT_EQ(addr.szProtocol[sizeof addr.szProtocol - 1], '\0');
}

TEST(SocketAction, BindReportsTheChosenPortAndConnectThePeer) {
  clnxtest::Socket server;
  ASSERT_EQ(CreateSocket(server.get()), 1);
  SocketAddress any = Address("*", "0");
  ASSERT_EQ(BindSocketName(server.get(), &any), 1);
  EXPECT_EQ(server->lConnected, 1);
  EXPECT_STREQ(any.szIp, "0.0.0.0");
  EXPECT_NE(any.ulPort, 0u);
  EXPECT_EQ(std::to_string(any.ulPort), any.szService);
  EXPECT_EQ(server->OwnName.ulPort, any.ulPort);
  ASSERT_EQ(ListenSocket(server.get(), 5), 1);

  clnxtest::Socket client;
  ASSERT_EQ(CreateSocket(client.get()), 1);
  SocketAddress target = Address("@", std::to_string(any.ulPort));
  ASSERT_EQ(ConnectSocket(client.get(), &target), 1);
  EXPECT_EQ(client->lConnected, 1);
  EXPECT_STREQ(client->Peer.szIp, "127.0.0.1");
  EXPECT_EQ(client->Peer.ulPort, any.ulPort);
  EXPECT_STREQ(client->Peer.szHost, "@");
}

std::vector<std::string> g_points;
int g_hook_calls = 0;
void Record(const char* point, SocketRecord*) { g_points.emplace_back(point); }
int32_t CountFailure(SocketRecord*) { return ++g_hook_calls * 10; }

TEST(SocketAction, TracePointsAndErrorHook) {
  g_points.clear();
  OnGSocketTrace(Record);
  clnxtest::Socket sock;
  ASSERT_EQ(CreateSocket(sock.get()), 1);
  OnGSocketTrace(nullptr);
  OnSocketError(sock.get(), CountFailure);
  SocketAddress addr = Address(kBadHost, "80");
  EXPECT_EQ(ConnectSocket(sock.get(), &addr), 0);
  EXPECT_EQ(sock->lLastError, kNoHost);
  EXPECT_EQ(g_hook_calls, 1);
  EXPECT_EQ(sock->lHookResult, 10);
  EXPECT_EQ(sock->lConnected, 0);
  EXPECT_EQ(g_points, (std::vector<std::string>{"CreateAnySocket", "ConnectSocket:Before",
                                                "AddrToIP:Before", "AddrToIP:After",
                                                "ConnectSocket:After"}));
  // Re-creating the record clears its hooks.
  ASSERT_EQ(DeleteSocket(sock.get()), 1);
  ASSERT_EQ(CreateSocket(sock.get()), 1);
  EXPECT_EQ(sock->pfnError, nullptr);
  EXPECT_EQ(sock->pfnTrace, nullptr);
}

}  // namespace
