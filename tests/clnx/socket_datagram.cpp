// Datagram transfers: the sender's address lands in the receiver's peer record, and a
// target that cannot be resolved fails with EDESTADDRREQ without sending anything.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <vector>

#include "clnx_test.h"

namespace {

using clnxtest::kNoDestination;
using clnxtest::kWouldBlock;
using clnxtest::Address;
using clnxtest::View;

struct Datagrams : ::testing::Test {
  clnxtest::Socket receiver;
  clnxtest::Socket sender;
  SocketAddress bound = Address("127.0.0.1", "0", "", "udp");
  SocketAddress sender_name = Address("127.0.0.1", "0", "", "udp");
  void SetUp() override {
    ASSERT_EQ(CreateUDPSocket(receiver.get()), 1);
    ASSERT_EQ(CreateUDPSocket(sender.get()), 1);
    ASSERT_EQ(BindSocketName(receiver.get(), &bound), 1);
    ASSERT_EQ(BindSocketName(sender.get(), &sender_name), 1);
    ASSERT_EQ(NoblockSocket(receiver.get()), 1);
  }
};

TEST_F(Datagrams, TransferRecordsTheSender) {
  EXPECT_EQ(sender->iType, 2);
  EXPECT_STREQ(sender->Peer.szProtocol, "tcp");
  std::vector<char> out{'f', 'a', 'c', 't'};
  Buffer w = View(out);
  SocketAddress target = Address("localhost", std::to_string(bound.ulPort), "", "udp");
  ASSERT_EQ(WriteSocket(sender.get(), &w, &target), 1);
  EXPECT_EQ(w.lCounter3, 4);

  std::vector<char> in(64);
  Buffer r = View(in);
  ASSERT_EQ(ReadSocket(receiver.get(), &r), 1);
  EXPECT_EQ(std::string(in.data(), static_cast<size_t>(r.lCounter2)), "fact");
  EXPECT_STREQ(receiver->Peer.szIp, "127.0.0.1");
  EXPECT_EQ(receiver->Peer.ulPort, sender_name.ulPort);
  EXPECT_EQ(std::to_string(sender_name.ulPort), receiver->Peer.szService);
  SocketAddress from{};
  ASSERT_EQ(GetFromAddr(receiver.get(), &from), 1);
  EXPECT_EQ(from.ulPort, sender_name.ulPort);
}

TEST_F(Datagrams, UnresolvableTargetSendsNothing) {
  std::vector<char> out{'x'};
  Buffer w = View(out);
  SocketAddress nowhere = Address(std::string(70, 'x') + ".invalid", std::to_string(bound.ulPort));
  EXPECT_EQ(WriteSocket(sender.get(), &w, &nowhere), 0);
  EXPECT_EQ(sender->lLastError, kNoDestination);
  SocketAddress no_service = Address("127.0.0.1", "no-such-service", "", "udp");
  EXPECT_EQ(WriteSocket(sender.get(), &w, &no_service), 0);
  EXPECT_EQ(sender->lLastError, kNoDestination);
  EXPECT_EQ(WriteSocket(sender.get(), &w, nullptr), 0);
  EXPECT_EQ(sender->lLastError, kNoDestination);
  EXPECT_EQ(w.lCounter3, 0);
  EXPECT_EQ(sender->ullBytesWritten, 0u);

  std::vector<char> in(8);
  Buffer r = View(in);
  EXPECT_EQ(ReadSocket(receiver.get(), &r), 0);
  EXPECT_EQ(receiver->lLastError, kWouldBlock);
}

}  // namespace
