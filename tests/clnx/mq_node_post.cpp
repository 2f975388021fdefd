// MQNode multi-waits and datagram nodes: a server with several clients sorted by mnPost
// and mnNPost into accept and ready lists, the time-out, and UDP nodes that carry one
// message per datagram.
#include <arpa/inet.h>
#include <cmqc.h>
#include <cmqcfc.h>
#include <netinet/in.h>

#include "mq_node_test.h"
#include "vrqsign.h"

namespace {

// The Windows build reports WinSock's error codes.
#ifdef _WIN32
constexpr int kWouldBlock = WSAEWOULDBLOCK;
#else
constexpr int kWouldBlock = 11;  // EAGAIN
#endif

using namespace nodetest;

TEST(MqNodePost, ServerWithSeveralClientsSortsAcceptAndReady) {
  NodePtr server = Server();
  std::vector<NodePtr> clients;
  for (int i = 0; i < 3; ++i) clients.push_back(ClientOf(server.get()));
  std::vector<NodePtr> peers;
  MQNode* accept[8];
  MQNode* ready[8];
  for (int i = 0; i < 3; ++i) {
    MQNode* nodes[] = {server.get(), nullptr};
    int error = -1;
    ASSERT_EQ(mnPost(nodes, accept, ready, 2, &error), 1);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(accept[0], server.get());
    EXPECT_EQ(accept[1], nullptr);
    EXPECT_EQ(ready[0], nullptr);
    ASSERT_EQ(mnOpen(server.get()), 1);
    ASSERT_NE(server->pChild, nullptr);
    EXPECT_EQ(server->pChild->ulOpen, 1u);
    EXPECT_EQ(server->pChild->ulMode, 0u);
    EXPECT_EQ(server->pChild->Socket.pOwner, server->pChild);
    peers.emplace_back(server->pChild);
  }
  EXPECT_NE(peers[0]->InBuf.pBuffer, server->InBuf.pBuffer) << "each peer has its own input buffer";

  Pcf msg(MQCMD_PING_Q_MGR);
  ASSERT_EQ(mnWrite(msg.m, clients[1].get()), 1);
  MQNode* all[] = {server.get(), peers[0].get(), peers[1].get(), peers[2].get(), nullptr};
  MQNode* writable[8];
  int error = -1;
  ASSERT_EQ(mnNPost(all, accept, ready, writable, 2, &error), 1);
  EXPECT_EQ(accept[0], nullptr);
  ASSERT_EQ(ready[0], peers[1].get());
  EXPECT_EQ(ready[1], nullptr);
  EXPECT_EQ(writable[0], nullptr);
  Pcf in(MQCMD_INQUIRE_Q, 0);
  ASSERT_EQ(mnRead(in.m, ready[0]), 1);
  EXPECT_EQ(in->pPcfHdr->Command, MQCMD_PING_Q_MGR);

  ASSERT_EQ(mnPostExMSec(all, accept, ready, 50, &error, nullptr), 0);
  EXPECT_EQ(error, MQNODE_INVALID);
  EXPECT_EQ(mnPost(all, accept, ready, 0, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_TIMEOUT);
  EXPECT_EQ(accept[0], nullptr);
  EXPECT_EQ(ready[0], nullptr);
}

TEST(MqNodePost, NonBlockingConnectCompletesThroughWritableList) {
  NodePtr server = Server();
  SocketAddress addr = Address("127.0.0.1", std::to_string(server->Address.ulPort));
  NodePtr client(CreateMQNode(&addr, MQNODE_MODE_CLIENT));
  ASSERT_EQ(NoblockSocket(&client->Socket), 1);
  if (mnOpen(client.get()) == 0) {
    EXPECT_EQ(client->lLastError, kWouldBlock);
    EXPECT_EQ(client->ulOpen, 0u);
    MQNode* nodes[] = {client.get(), nullptr};
    MQNode* accept[2];
    MQNode* ready[2];
    MQNode* writable[2];
    int error = 0;
    ASSERT_EQ(mnNPost(nodes, accept, ready, writable, 2, &error), 1);
    EXPECT_EQ(writable[0], client.get());
  }
  EXPECT_EQ(client->ulOpen, 1u);
}

TEST(MqNodePost, UdpNodesCarryOneMessagePerDatagram) {
  SocketAddress a_addr = Address("127.0.0.1", "0", "", "udp");
  SocketAddress b_addr = a_addr;
  NodePtr a(CreateUDPMQNode(&a_addr));
  NodePtr b(CreateUDPMQNode(&b_addr));
  ASSERT_EQ(a->ulOpen, 1u);
  ASSERT_EQ(b->ulOpen, 1u);
  EXPECT_EQ(b->InBuf.lLength, MQNODE_INPUT_SIZE);
  uint32_t* signature = nullptr;
  ASSERT_EQ(sgx_get_signature(&signature), 1);

  for (int value : {1, 2}) {
    Pcf out(MQCMD_PING_Q_MGR);
    out.AddInt(MQIA_Q_TYPE, value);
    ASSERT_EQ(mnWriteTo(out.m, a.get(), &b->Address), 1);
  }
  Pcf out(MQCMD_PING_Q_MGR);
  out.AddInt(MQIA_Q_TYPE, 3);
  ASSERT_EQ(mnSWriteTo(out.m, a.get(), &b->Address, 1, signature), 1);
  EXPECT_EQ(a->ulWritten, 3u);
  EXPECT_EQ(mnWrite(out.m, a.get()), 0) << "a datagram needs a destination";

  Pcf in(MQCMD_INQUIRE_Q, 0);
  ASSERT_EQ(mnRead(in.m, b.get()), 1);
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 1);
  ASSERT_EQ(mnRead(in.m, b.get()), 1);
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 2);
  ASSERT_EQ(mnSRead(in.m, b.get(), 1), 1);
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 3);
  EXPECT_EQ(b->ulRead, 3u);

  // A datagram shorter than its header announces is refused whole; the next one is read.
  sockaddr_in target{};
  ASSERT_EQ(MapHostIPToAddr("127.0.0.1", &target), 1);
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(b->Address.ulPort));
  const std::string header = Header(false, false, 100, "PEER", "APP");
  ASSERT_EQ(sendto(a->Socket.iSocket, header.data(), header.size(), 0, reinterpret_cast<sockaddr*>(&target),
                   sizeof target),
            static_cast<ssize_t>(header.size()));
  EXPECT_EQ(mnRead(in.m, b.get()), 0);
  EXPECT_EQ(b->lLastError, MQNODE_BAD_HEADER);
  ASSERT_EQ(mnWriteTo(out.m, a.get(), &b->Address), 1);
  ASSERT_EQ(mnRead(in.m, b.get()), 1);
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 3);
  sgx_release_signature(&signature);
}

}  // namespace
