// Helpers of the MQNode tests: PCF messages to send, connected node pairs on the loopback
// address (node to node, or node to a bare socket that sends hand-made bytes), and a wait
// for readability.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clnx_test.h"
#include "vrqclnx.h"

namespace nodetest {

using clnxtest::Address;

// A PCF message that deletes itself.
struct Pcf {
  PcfMessage* m;
  explicit Pcf(int command = 40, int capacity = 256) : m(CreatePcfMessage(command, 1, capacity)) {}
  ~Pcf() { DeletePcfMessage(m); }
  Pcf(const Pcf&) = delete;
  Pcf& operator=(const Pcf&) = delete;
  PcfMessage* operator->() { return m; }

  void AddString(int parameter, const std::string& text) {
    MESSAGE a{};
    ASSERT_EQ(CreatePcfStrAttr(&a, parameter, text.c_str()), 1);
    ASSERT_EQ(AppendAttr(m, &a), 1);
    DeleteMessage(&a);
    ASSERT_EQ(RawToPcf(m), 1);
  }
  void AddInt(int parameter, int value) {
    MESSAGE a{};
    ASSERT_EQ(CreatePcfIntAttr(&a, parameter, value), 1);
    ASSERT_EQ(AppendAttr(m, &a), 1);
    DeleteMessage(&a);
    ASSERT_EQ(RawToPcf(m), 1);
  }
  std::string String(int parameter) {
    MESSAGE a{};
    std::string text;
    if (GetAttrByID(parameter, &a, m)) {
      std::vector<char> out(200000);
      GetPcfStrAttrValue(&a, out.data(), static_cast<int>(out.size()));
      text = out.data();
      DeleteMessage(&a);
    }
    return text;
  }
  int Int(int parameter) {
    MESSAGE a{};
    int value = -1;
    if (GetAttrByID(parameter, &a, m)) {
      GetPcfIntAttrValue(&a, &value);
      DeleteMessage(&a);
    }
    return value;
  }
  // The wire bytes as they stand in the message block.
  std::string Image() const {
    return std::string(reinterpret_cast<const char*>(m->PcfMsg.pMdHdr), static_cast<size_t>(m->PcfMsg.lMsgLength));
  }
};

struct NodeDeleter {
  void operator()(MQNode* n) const { DeleteMQNode(n); }
};
using NodePtr = std::unique_ptr<MQNode, NodeDeleter>;

// A listening server node on 127.0.0.1 at a port the system chooses.
inline NodePtr Server() {
  SocketAddress addr = Address("127.0.0.1", "0");
  NodePtr server(CreateMQNode(&addr, MQNODE_MODE_SERVER));
  EXPECT_NE(server, nullptr);
  EXPECT_EQ(server->lLastError, 0);
  return server;
}

inline NodePtr ClientOf(MQNode* server) {
  SocketAddress addr = Address("127.0.0.1", std::to_string(server->Address.ulPort));
  NodePtr client(CreateMQNode(&addr, MQNODE_MODE_CLIENT));
  EXPECT_EQ(mnOpen(client.get()), 1);
  return client;
}

// Two connected nodes: a client and the peer its server accepted.
struct NodePair {
  NodePtr server = Server();
  NodePtr client = ClientOf(server.get());
  NodePtr peer;
  NodePair() {
    EXPECT_EQ(mnOpen(server.get()), 1);
    peer.reset(server->pChild);
  }
};

// A node reading from a bare socket that the test writes by hand.
struct RawPair {
  clnxtest::Listener listener;
  clnxtest::Socket raw;
  NodePtr node;
  RawPair() {
    EXPECT_EQ(CreateSocket(raw.get()), 1);
    SocketAddress target = Address("127.0.0.1", listener.port());
    EXPECT_EQ(ConnectSocket(raw.get(), &target), 1);
    SocketRecord accepted{};
    EXPECT_EQ(AcceptClient(listener.get(), &accepted), 1);
    node.reset(CreateAndBindMQNode(&accepted, MQNODE_MODE_CLIENT));
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(send(raw->iSocket, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  }
  // Everything the node sent that arrives within the wait.
  std::string Receive(size_t expected) {
    std::string got;
    char chunk[65536];
    while (got.size() < expected && WaitReadable(raw->iSocket)) {
      const ssize_t n = recv(raw->iSocket, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      got.append(chunk, static_cast<size_t>(n));
    }
    return got;
  }
  static bool WaitReadable(int fd, int ms = 2000) {
    // WinSock's pollfd holds an unsigned, pointer-sized SOCKET; records keep 32-bit ints.
    pollfd p{static_cast<decltype(pollfd::fd)>(fd), POLLIN, 0};
    return poll(&p, 1, ms) == 1;
  }
};

// Words and texts of hand-made wire images, in either byte order.
struct Image {
  std::string b;
  bool big_endian;
  explicit Image(bool big) : big_endian(big) {}
  Image& Word(uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      const int shift = big_endian ? 24 - 8 * i : 8 * i;
      b.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
    return *this;
  }
  // Text padded with fill to width, then converted to EBCDIC when ebcdic is set.
  Image& Text(const std::string& text, size_t width, bool ebcdic, char fill = '\0') {
    std::string field = text;
    field.resize(width, fill);
    if (ebcdic) TextConvert(field.data(), field.data(), static_cast<int>(field.size()), 0);
    b += field;
    return *this;
  }
  Image& Zeros(size_t n) {
    b.append(n, '\0');
    return *this;
  }
};

// An MDHDR as a peer of the given byte order and character set writes it.
inline std::string Header(bool big, bool ebcdic, uint32_t body, const std::string& user, const std::string& appl) {
  Image h(big);
  h.Word(136).Word(0).Word(big ? 1 : 0).Word(ebcdic ? 0 : 1).Zeros(48).Word(body).Word(0);
  h.Text(user, 12, ebcdic).Text(appl, 48, ebcdic).Word(1);
  return h.b;
}

}  // namespace nodetest
