// Stream transfers between two socket records on the loopback address: counters, the
// accepted client's address, connecting twice, partial writes on a full non-blocking
// socket, a peer that closes, descriptors that must not be closed twice, and buffers
// whose counters point outside their bytes.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "clnx_test.h"

namespace {

using clnxtest::Address;
using clnxtest::View;

TEST(SocketStream, TransferAndAcceptedAddress) {
  clnxtest::Pair pair;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  ASSERT_EQ(getsockname(pair.client->iSocket, reinterpret_cast<sockaddr*>(&local), &size), 0);
  EXPECT_STREQ(pair.server->OwnName.szIp, "127.0.0.1");
  EXPECT_EQ(pair.server->OwnName.ulPort, ntohs(local.sin_port));
  EXPECT_EQ(pair.server->Peer.ulPort, ntohs(local.sin_port));
  EXPECT_EQ(pair.server->lConnected, 1);
  EXPECT_EQ(pair.server->iType, pair.listener->iType);

  std::vector<char> out{'h', 'e', 'l', 'l', 'o'};
  Buffer w = View(out);
  ASSERT_EQ(WriteSocket(pair.client.get(), &w, nullptr), 1);
  EXPECT_EQ(w.lCounter3, 5);
  EXPECT_EQ(pair.client->ullBytesWritten, 5u);
  EXPECT_EQ(pair.client->pCurrent, nullptr);

  std::vector<char> in(16, 0);
  Buffer r = View(in);
  r.lLength = 3;  // only the first three bytes are wanted
  ASSERT_EQ(ReadSocket(pair.server.get(), &r), 1);
  EXPECT_EQ(r.lCounter2, 3);
  r.lLength = 16;
  ASSERT_EQ(ReadSocket(pair.server.get(), &r), 1);
  EXPECT_EQ(r.lCounter2, 5);
  EXPECT_EQ(std::string(in.data(), 5), "hello");
  EXPECT_EQ(pair.server->ullBytesRead, 5u);

  // Connecting a connected socket again succeeds.
  SocketAddress again = Address("127.0.0.1", pair.listener.port());
  EXPECT_EQ(ConnectSocket(pair.client.get(), &again), 1);
  EXPECT_EQ(pair.client->lLastError, 0);
}

TEST(SocketStream, PartialWritesOnAFullNonBlockingSocket) {
  clnxtest::Pair pair;
  ASSERT_EQ(SetTcpBuffer(pair.client.get(), 4096), 1);
  ASSERT_EQ(NoblockSocket(pair.client.get()), 1);
  std::vector<char> out(1 << 20);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(i * 7);
  Buffer w = View(out);
  ASSERT_EQ(WriteSocket(pair.client.get(), &w, nullptr), 1);
  EXPECT_GT(w.lCounter3, 0);
  EXPECT_LT(w.lCounter3, w.lLength);
  while (WriteSocket(pair.client.get(), &w, nullptr) == 1) ASSERT_LT(w.lCounter3, w.lLength);
  EXPECT_EQ(pair.client->lLastError, EWOULDBLOCK);

  // The reader drains, the writer goes on from where it stopped; nothing is lost.
  std::vector<char> in(out.size());
  Buffer r = View(in);
  ASSERT_EQ(NoblockSocket(pair.server.get()), 1);
  while (r.lCounter2 < r.lLength) {
    if (w.lCounter3 < w.lLength) WriteSocket(pair.client.get(), &w, nullptr);
    if (!ReadSocket(pair.server.get(), &r)) {
      ASSERT_EQ(pair.server->lLastError, EWOULDBLOCK);
    }
  }
  EXPECT_EQ(in, out);
  EXPECT_EQ(pair.client->ullBytesWritten, out.size());
}

TEST(SocketStream, PeerClosesWithoutKillingTheWriter) {
  clnxtest::Pair pair;
  DeleteSocket(pair.server.get());
  std::vector<char> in(8);
  Buffer r = View(in);
  EXPECT_EQ(ReadSocket(pair.client.get(), &r), 0);
  EXPECT_EQ(pair.client->lLastError, VRQ_SOCK_PEER_CLOSED);

  std::vector<char> out(1000, 'x');
  int failures = 0;
  for (int i = 0; i < 100 && failures == 0; ++i) {
    Buffer w = View(out);
    if (!WriteSocket(pair.client.get(), &w, nullptr)) ++failures;
    usleep(1000);
  }
  ASSERT_EQ(failures, 1);
  EXPECT_TRUE(pair.client->lLastError == EPIPE || pair.client->lLastError == ECONNRESET)
      << pair.client->lLastError;
}

TEST(SocketStream, DeleteNeverClosesADescriptorTwice) {
  clnxtest::Socket sock;
  ASSERT_EQ(CreateSocket(sock.get()), 1);
  const int fd = sock->iSocket;
  ASSERT_EQ(DeleteSocket(sock.get()), 1);
  EXPECT_EQ(sock->iSocket, -1);
  const int reused = open("/dev/null", O_RDONLY);
  ASSERT_EQ(reused, fd);
  EXPECT_EQ(DeleteSocket(sock.get()), 1);
  EXPECT_NE(fcntl(reused, F_GETFD), -1);
  close(reused);

  SocketRecord zero{};
  EXPECT_EQ(DeleteSocket(&zero), 1);
  EXPECT_EQ(DeleteSocket(nullptr), 1);
}

TEST(SocketStream, ExistingDescriptorAndWouldBlock) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  clnxtest::Socket a;
  clnxtest::Socket b;
  ASSERT_EQ(CreateSocketFromExisting(a.get(), fds[0]), 1);
  ASSERT_EQ(CreateSocketFromExisting(b.get(), fds[1]), 1);
  EXPECT_EQ(a->iType, 1);
  EXPECT_STREQ(a->Peer.szProtocol, "tcp");
  ASSERT_EQ(NoblockSocket(b.get()), 1);
  std::vector<char> in(4);
  Buffer r = View(in);
  EXPECT_EQ(ReadSocket(b.get(), &r), 0);
  EXPECT_EQ(b->lLastError, EWOULDBLOCK);
  ASSERT_EQ(BlockSocket(b.get()), 1);
  EXPECT_EQ(fcntl(b->iSocket, F_GETFL) & O_NONBLOCK, 0);
}

TEST(SocketStream, BuffersOutsideTheirBytesAreRefused) {
  clnxtest::Pair pair;
  std::vector<char> bytes(8);
  Buffer b = View(bytes);
  b.lCounter2 = 9;
  EXPECT_EQ(ReadSocket(pair.server.get(), &b), 0);
  EXPECT_EQ(pair.server->lLastError, EINVAL);
  b.lCounter2 = 8;  // full: nothing can be received
  EXPECT_EQ(ReadSocket(pair.server.get(), &b), 0);
  b.lCounter3 = -1;
  EXPECT_EQ(WriteSocket(pair.client.get(), &b, nullptr), 0);
  EXPECT_EQ(pair.client->lLastError, EINVAL);
  b.lCounter3 = 0;
  b.lLength = 9;  // longer than the bytes
  EXPECT_EQ(WriteSocket(pair.client.get(), &b, nullptr), 0);
  Buffer empty{};
  EXPECT_EQ(ReadSocket(pair.server.get(), &empty), 0);
  EXPECT_EQ(WriteSocket(pair.client.get(), nullptr, nullptr), 0);
  EXPECT_EQ(pair.client->ullBytesWritten, 0u);
}

}  // namespace
