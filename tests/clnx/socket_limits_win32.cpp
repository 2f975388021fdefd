// The socket limits of the Windows build: WinSock handles are pointer-sized, the records
// keep 32-bit descriptors, so a handle that does not fit is closed and refused rather than
// cut; and a descriptor set is a list of VRQ_SOCK_SET_SIZE handles, so the multi-waits
// refuse one socket more rather than leave it out of the wait.
#include "../../clnx/socket_win32.cpp"

#include <cstdint>
#include <deque>
#include <vector>

#include "clnx_test.h"

namespace {

using clnxtest::Post;
using clnxtest::Send;

TEST(SocketLimitsWindows, HandlesAreKeptOnlyWhenTheyFit) {
  ASSERT_EQ(OSInitSocket(nullptr), 1);
  // A failed call: no descriptor, and the call's own error stays.
  WSASetLastError(WSAENOBUFS);
  EXPECT_EQ(vrq::net::KeepDescriptor(INVALID_SOCKET), -1);
  EXPECT_EQ(WSAGetLastError(), WSAENOBUFS);

  const SOCKET real = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(real, INVALID_SOCKET);
  ASSERT_LE(real, static_cast<SOCKET>(INT32_MAX));
  EXPECT_EQ(vrq::net::KeepDescriptor(real), static_cast<int>(real));
  closesocket(real);

  // Beyond int32: negative as a descriptor, or (64-bit) a value whose low half would name
  // some other socket. No such handle exists, so closing it fails unseen.
  std::vector<SOCKET> too_large{static_cast<SOCKET>(INT32_MAX) + 1, ~SOCKET{0} - 4};
#if defined(_WIN64)
  too_large.push_back(static_cast<SOCKET>(0x1'7FFF'0000ULL));
#endif
  for (const SOCKET handle : too_large) {
    WSASetLastError(0);
    EXPECT_EQ(vrq::net::KeepDescriptor(handle), -1) << handle;
    EXPECT_EQ(WSAGetLastError(), WSAEMFILE) << handle;
  }
}

TEST(SocketLimitsWindows, MoreSocketsThanASetHoldsAreRefused) {
  // VRQ_SOCK_SET_SIZE - 1 datagram sockets and the server end of a pair fill the sets.
  clnxtest::Pair pair;
  std::deque<clnxtest::Socket> sockets(VRQ_SOCK_SET_SIZE);
  for (clnxtest::Socket& s : sockets) ASSERT_EQ(CreateUDPSocket(s.get()), 1);
  Post post(VRQ_SOCK_SET_SIZE + 8);
  auto fill = [&](SocketRecord** list, std::size_t udp, std::initializer_list<SocketRecord*> more) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < udp; ++i) list[n++] = sockets[i].get();
    for (SocketRecord* rec : more) list[n++] = rec;
    list[n] = nullptr;
  };
  Send(pair.client.get(), 'x');
  const PostTimeout wait{0, 5};
  int error = -1;

  // Full sets: the last socket of the list is still waited on; one socket twice is one entry.
  fill(post.data.ppInput, VRQ_SOCK_SET_SIZE - 1, {pair.server.get(), sockets[0].get()});
  ASSERT_EQ(PostSocket(&post.data, &wait, &error), 1) << error;
  EXPECT_EQ(post.data.ppReady[0], pair.server.get());
  EXPECT_EQ(post.data.ppReady[1], nullptr);

  // One more, on the input list or on the write list, is refused.
  fill(post.data.ppInput, VRQ_SOCK_SET_SIZE, {pair.server.get()});
  EXPECT_EQ(PostSocket(&post.data, &wait, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_FD_RANGE);
  fill(post.data.ppInput, 0, {pair.server.get()});
  fill(post.data.ppWrite, VRQ_SOCK_SET_SIZE, {pair.client.get()});
  EXPECT_EQ(NPostSocket(&post.data, &wait, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_FD_RANGE);
}

}  // namespace
