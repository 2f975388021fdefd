// Socket options through their codes.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "clnx_test.h"

namespace {

TEST(SocketOptions, CodesMapToSocketLevelOptions) {
  EXPECT_EQ(MapSockOption(0), SO_DEBUG);
  EXPECT_EQ(MapSockOption(1), SO_REUSEADDR);
  EXPECT_EQ(MapSockOption(4), SO_LINGER);
  EXPECT_EQ(MapSockOption(7), SO_SNDBUF);
  EXPECT_EQ(MapSockOption(8), SO_RCVBUF);
  EXPECT_EQ(MapSockOption(10), SO_ERROR);
  EXPECT_EQ(MapSockOption(15), 15);
  EXPECT_EQ(MapSockOption(-3), -1);
}

TEST(SocketOptions, SetAndGet) {
  clnxtest::Socket sock;
  ASSERT_EQ(CreateSocket(sock.get()), 1);
  ASSERT_EQ(ReuseSocket(sock.get(), 1), 1);
  SocketOption reuse{1, 0, 0};
  ASSERT_EQ(GetSocketOptions(sock.get(), &reuse), 1);
  EXPECT_EQ(reuse.ulValue1, 1u);
  ASSERT_EQ(ReuseSocket(sock.get(), 2), 1);  // only 1 switches it on
  ASSERT_EQ(GetSocketOptions(sock.get(), &reuse), 1);
  EXPECT_EQ(reuse.ulValue1, 0u);

  const SocketOption linger_on{4, 7, 1};
  ASSERT_EQ(SetSocketOptions(sock.get(), &linger_on), 1);
  linger value{};
  socklen_t size = sizeof value;
  ASSERT_EQ(getsockopt(sock->iSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&value), &size), 0);
  EXPECT_EQ(value.l_onoff, 1);
  EXPECT_EQ(value.l_linger, 7);

  ASSERT_EQ(SetTcpNoDelay(sock.get(), 1), 1);
  int flag = 0;
  size = sizeof flag;
  ASSERT_EQ(getsockopt(sock->iSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&flag), &size), 0);
  EXPECT_NE(flag, 0);

  SocketOption type{9, 0, 0};
  ASSERT_EQ(GetSocketOptions(sock.get(), &type), 1);
  EXPECT_EQ(type.ulValue1, static_cast<uint32_t>(SOCK_STREAM));

  const SocketOption bad{static_cast<uint32_t>(-2), 0, 1};
  EXPECT_EQ(SetSocketOptions(sock.get(), &bad), 0);
  EXPECT_NE(sock->lLastError, 0);
}

}  // namespace
