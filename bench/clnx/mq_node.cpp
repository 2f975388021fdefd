// PCF messages of 200 bytes and 16 KiB on the wire sent from one MQNode to another over a
// loopback TCP connection (write, then read and index), plain and signed, beside a bare
// length-prefixed exchange of the same sizes with send and recv on another connection.
#include <benchmark/benchmark.h>
#include <cmqc.h>
#include <cmqcfc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vrqclnx.h"
#include "vrqsign.h"

namespace {

SocketAddress Loopback(unsigned port) {
  SocketAddress addr{};
  std::snprintf(addr.szHost, sizeof addr.szHost, "127.0.0.1");
  std::snprintf(addr.szService, sizeof addr.szService, "%u", port);
  return addr;
}

struct Nodes {
  MQNode* server;
  MQNode* client;
  MQNode* peer = nullptr;
  Nodes() {
    SocketAddress addr = Loopback(0);
    server = CreateMQNode(&addr, MQNODE_MODE_SERVER);
    SocketAddress target = Loopback(server->Address.ulPort);
    client = CreateMQNode(&target, MQNODE_MODE_CLIENT);
    mnOpen(client);
    mnOpen(server);
    peer = server->pChild;
    SetTcpNoDelay(&client->Socket, 1);
    SetTcpNoDelay(&peer->Socket, 1);
  }
  ~Nodes() {
    DeleteMQNode(peer);
    DeleteMQNode(client);
    DeleteMQNode(server);
  }
};

// A PCF message whose wire image is exactly size bytes: header, MQCFH and one string.
PcfMessage* MessageOfSize(int size) {
  const int text = size - MDHDR_LENGTH - MQCFH_STRUC_LENGTH - MQCFST_STRUC_LENGTH_FIXED;
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q, 1, size);
  MESSAGE attr{};
  CreatePcfStrAttr(&attr, MQCA_Q_DESC, std::string(static_cast<size_t>(text), 'D').c_str());
  AppendAttr(msg, &attr);
  DeleteMessage(&attr);
  RawToPcf(msg);
  return msg;
}

void NodeExchange(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const int is_signed = static_cast<int>(state.range(1));
  Nodes nodes;
  PcfMessage* out = MessageOfSize(size);
  PcfMessage* in = CreatePcfMessage(MQCMD_PING_Q_MGR, 1, size);
  uint32_t* signature = nullptr;
  sgx_get_signature(&signature);
  if (out->PcfMsg.lMsgLength != size) state.SkipWithError("message size");
  for (auto _ : state) {
    if (!mnSWrite(out, nodes.client, is_signed, signature) || !mnSRead(in, nodes.peer, is_signed)) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * size);
  sgx_release_signature(&signature);
  DeletePcfMessage(in);
  DeletePcfMessage(out);
}

struct BarePair {
  int client = -1;
  int server = -1;
  BarePair() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length);
    client = socket(AF_INET, SOCK_STREAM, 0);
    connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    server = accept(listener, nullptr, nullptr);
    close(listener);
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  ~BarePair() {
    close(client);
    close(server);
  }
};

bool ReceiveAll(int fd, char* into, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = recv(fd, into + got, size - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

void BareExchange(benchmark::State& state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  BarePair pair;
  std::vector<char> out(sizeof size + size, 'D');
  std::memcpy(out.data(), &size, sizeof size);
  std::vector<char> in(size);
  for (auto _ : state) {
    uint32_t length = 0;
    if (send(pair.client, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()) ||
        !ReceiveAll(pair.server, reinterpret_cast<char*>(&length), sizeof length) || length != size ||
        !ReceiveAll(pair.server, in.data(), length)) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(in.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

BENCHMARK(NodeExchange)->ArgNames({"size", "signed"})->Args({200, 0})->Args({200, 1})->Args({16384, 0})->Args({16384, 1});
BENCHMARK(BareExchange)->ArgName("size")->Arg(200)->Arg(16384);
BENCHMARK_MAIN();
