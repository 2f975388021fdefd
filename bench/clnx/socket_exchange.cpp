// Round trips of small messages over a loopback TCP connection through the socket layer
// (WriteSocket/ReadSocket with Buffer counters), against the same exchange with bare
// send and recv calls on the same descriptors.
#include <cmqc.h>

#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "vrqclnx.h"

namespace {

struct Connection {
  SocketRecord listener{}, client{}, server{};
  Connection() {
    SocketAddress addr{};
    std::snprintf(addr.szHost, sizeof addr.szHost, "127.0.0.1");
    std::snprintf(addr.szService, sizeof addr.szService, "0");
    CreateSocket(&listener);
    BindSocketName(&listener, &addr);
    ListenSocket(&listener, 1);
    SocketAddress target{};
    std::snprintf(target.szHost, sizeof target.szHost, "127.0.0.1");
    std::snprintf(target.szService, sizeof target.szService, "%u", addr.ulPort);
    CreateSocket(&client);
    ConnectSocket(&client, &target);
    AcceptClient(&listener, &server);
    SetTcpNoDelay(&client, 1);
    SetTcpNoDelay(&server, 1);
  }
  ~Connection() {
    DeleteSocket(&client);
    DeleteSocket(&server);
    DeleteSocket(&listener);
  }
};

bool Transfer(SocketRecord* from, SocketRecord* to, std::vector<char>& bytes) {
  Buffer out{bytes.data(), static_cast<MQLONG>(bytes.size()), static_cast<MQLONG>(bytes.size()), 0, 0, 0};
  Buffer in = out;
  while (out.lCounter3 < out.lLength) {
    if (!WriteSocket(from, &out, nullptr)) return false;
  }
  while (in.lCounter2 < in.lLength) {
    if (!ReadSocket(to, &in)) return false;
  }
  return true;
}

bool BareTransfer(int from, int to, std::vector<char>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(from, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0) return false;
    sent += static_cast<size_t>(n);
  }
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = recv(to, bytes.data() + got, bytes.size() - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

void BM_SocketLayerRoundTrip(benchmark::State& state) {
  Connection c;
  std::vector<char> bytes(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    if (!Transfer(&c.client, &c.server, bytes) || !Transfer(&c.server, &c.client, bytes)) {
      state.SkipWithError("transfer failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0) * 2);
}

void BM_BareSocketRoundTrip(benchmark::State& state) {
  Connection c;
  std::vector<char> bytes(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    if (!BareTransfer(c.client.iSocket, c.server.iSocket, bytes) ||
        !BareTransfer(c.server.iSocket, c.client.iSocket, bytes)) {
      state.SkipWithError("transfer failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0) * 2);
}

}  // namespace

BENCHMARK(BM_SocketLayerRoundTrip)->Arg(136)->Arg(16520);
BENCHMARK(BM_BareSocketRoundTrip)->Arg(136)->Arg(16520);
BENCHMARK_MAIN();
