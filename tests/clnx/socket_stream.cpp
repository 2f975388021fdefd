// Stream transfers between two socket records on the loopback address: counters, the
// accepted client's address, connecting twice, partial writes on a full non-blocking
// socket, a peer that closes, descriptors that must not be closed twice, records around
// existing descriptors and their blocking mode, and buffers whose counters point outside
// their bytes.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#endif

#include "clnx_test.h"

namespace {

using clnxtest::kWouldBlock;
using clnxtest::kInvalid;
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
  EXPECT_EQ(pair.client->lLastError, kWouldBlock);

  // The reader drains, the writer goes on from where it stopped; nothing is lost.
  std::vector<char> in(out.size());
  Buffer r = View(in);
  ASSERT_EQ(NoblockSocket(pair.server.get()), 1);
  while (r.lCounter2 < r.lLength) {
    if (w.lCounter3 < w.lLength) WriteSocket(pair.client.get(), &w, nullptr);
    if (!ReadSocket(pair.server.get(), &r)) {
      ASSERT_EQ(pair.server->lLastError, kWouldBlock);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(failures, 1);
#ifdef _WIN32
  EXPECT_TRUE(pair.client->lLastError == WSAECONNRESET || pair.client->lLastError == WSAECONNABORTED)
      << pair.client->lLastError;
#else
  EXPECT_TRUE(pair.client->lLastError == EPIPE || pair.client->lLastError == ECONNRESET)
      << pair.client->lLastError;
#endif
}

TEST(SocketStream, DeleteNeverClosesADescriptorTwice) {
  clnxtest::Socket sock;
  ASSERT_EQ(CreateSocket(sock.get()), 1);
  const int fd = sock->iSocket;
  ASSERT_EQ(DeleteSocket(sock.get()), 1);
  EXPECT_EQ(sock->iSocket, -1);
  // The next socket gets the number again (POSIX systems always hand out the lowest free
  // one); deleting the old record a second time must leave it open.
  clnxtest::Socket next;
  ASSERT_EQ(CreateSocket(next.get()), 1);
#ifndef _WIN32
  ASSERT_EQ(next->iSocket, fd);
#endif
  EXPECT_EQ(DeleteSocket(sock.get()), 1);
  SocketOption type{9, 0, 0};
  EXPECT_EQ(GetSocketOptions(next.get(), &type), 1) << "descriptor " << fd << " was closed again";
  EXPECT_EQ(type.ulValue1, static_cast<uint32_t>(SOCK_STREAM));

  SocketRecord zero{};
  EXPECT_EQ(DeleteSocket(&zero), 1);
  EXPECT_EQ(DeleteSocket(nullptr), 1);
}

TEST(SocketStream, ExistingDescriptorAndWouldBlock) {
  clnxtest::Pair pair;
  clnxtest::Socket a;
  clnxtest::Socket b;
  ASSERT_EQ(CreateSocketFromExisting(a.get(), pair.client->iSocket), 1);
  ASSERT_EQ(CreateSocketFromExisting(b.get(), pair.server->iSocket), 1);
  pair.client->iSocket = pair.server->iSocket = -1;  // a and b own them now
  EXPECT_EQ(a->iType, 1);
  EXPECT_EQ(a->lConnected, 0);
  EXPECT_STREQ(a->Peer.szProtocol, "tcp");
  ASSERT_EQ(NoblockSocket(b.get()), 1);
  std::vector<char> in(4);
  Buffer r = View(in);
  EXPECT_EQ(ReadSocket(b.get(), &r), 0);
  EXPECT_EQ(b->lLastError, kWouldBlock);
  ASSERT_EQ(BlockSocket(b.get()), 1);
  clnxtest::Send(a.get(), 'z');
  ASSERT_EQ(ReadSocket(b.get(), &r), 1);
  EXPECT_EQ(in[0], 'z');
#ifdef _WIN32
  // WinSock cannot report the mode: a blocking receive with a time-out times out instead
  // of failing at once with would-block.
  const DWORD limit_ms = 100;
  ASSERT_EQ(setsockopt(b->iSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit_ms),
                       sizeof limit_ms), 0);
  EXPECT_EQ(ReadSocket(b.get(), &r), 0);
  EXPECT_EQ(b->lLastError, WSAETIMEDOUT);
#else
  EXPECT_EQ(fcntl(b->iSocket, F_GETFL) & O_NONBLOCK, 0);
#endif
}

TEST(SocketStream, BuffersOutsideTheirBytesAreRefused) {
  clnxtest::Pair pair;
  std::vector<char> bytes(8);
  Buffer b = View(bytes);
  b.lCounter2 = 9;
  EXPECT_EQ(ReadSocket(pair.server.get(), &b), 0);
  EXPECT_EQ(pair.server->lLastError, kInvalid);
  b.lCounter2 = 8;  // full: nothing can be received
  EXPECT_EQ(ReadSocket(pair.server.get(), &b), 0);
  b.lCounter3 = -1;
  EXPECT_EQ(WriteSocket(pair.client.get(), &b, nullptr), 0);
  EXPECT_EQ(pair.client->lLastError, kInvalid);
  b.lCounter3 = 0;
  b.lLength = 9;  // longer than the bytes
  EXPECT_EQ(WriteSocket(pair.client.get(), &b, nullptr), 0);
  Buffer empty{};
  EXPECT_EQ(ReadSocket(pair.server.get(), &empty), 0);
  EXPECT_EQ(WriteSocket(pair.client.get(), nullptr, nullptr), 0);
  EXPECT_EQ(pair.client->ullBytesWritten, 0u);
}

}  // namespace
