// Helpers shared by the network library's tests: address records, a listening socket on
// the loopback address, connected pairs, buffers over local bytes and multi-wait areas.
#pragma once

#include <cmqc.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "vrqclnx.h"

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace clnxtest {

// The error codes the sockets report: WinSock's in the Windows build.
#ifdef _WIN32
constexpr int kWouldBlock = WSAEWOULDBLOCK;
constexpr int kInvalid = WSAEINVAL;
constexpr int kNoDestination = WSAEDESTADDRREQ;
#else
constexpr int kWouldBlock = EWOULDBLOCK;
constexpr int kInvalid = EINVAL;
constexpr int kNoDestination = EDESTADDRREQ;
#endif

inline SocketAddress Address(const std::string& host, const std::string& service,
                             const std::string& ip = "", const std::string& protocol = "tcp") {
  SocketAddress addr{};
  std::snprintf(addr.szHost, sizeof addr.szHost, "%s", host.c_str());
  std::snprintf(addr.szService, sizeof addr.szService, "%s", service.c_str());
  std::snprintf(addr.szIp, sizeof addr.szIp, "%s", ip.c_str());
  std::snprintf(addr.szProtocol, sizeof addr.szProtocol, "%s", protocol.c_str());
  return addr;
}

// A Buffer over caller-owned bytes (the socket layer never frees them).
inline Buffer View(std::vector<char>& bytes) {
  Buffer b{};
  b.pBuffer = bytes.data();
  b.lLength = b.lSize = static_cast<MQLONG>(bytes.size());
  return b;
}

// A socket record deleted when the test ends.
struct Socket {
  SocketRecord rec{};
  Socket() { InitSocket(&rec); }
  ~Socket() { DeleteSocket(&rec); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SocketRecord* operator->() { return &rec; }
  SocketRecord* get() { return &rec; }
};

// A stream socket listening on 127.0.0.1 at a port the system chooses.
struct Listener : Socket {
  SocketAddress addr = Address("127.0.0.1", "0");
  Listener() {
    EXPECT_EQ(CreateSocket(get()), 1);
    EXPECT_EQ(BindSocketName(get(), &addr), 1);
    EXPECT_EQ(ListenSocket(get(), 5), 1);
  }
  std::string port() const { return std::to_string(addr.ulPort); }
};

// A connected client/server pair on the loopback address.
struct Pair {
  Listener listener;
  Socket client;
  Socket server;
  Pair() {
    EXPECT_EQ(CreateSocket(client.get()), 1);
    SocketAddress target = Address("127.0.0.1", listener.port());
    EXPECT_EQ(ConnectSocket(client.get(), &target), 1);
    EXPECT_EQ(AcceptClient(listener.get(), server.get()), 1);
  }
};

// A multi-wait work area of n slots, freed when the test ends.
struct Post {
  SocketPostData data{};
  explicit Post(uint32_t n = 8) { EXPECT_EQ(InitSocketPostData(&data, n), 1); }
  ~Post() { FreeSocketPostData(&data); }
  Post(const Post&) = delete;
  Post& operator=(const Post&) = delete;
  void Inputs(std::initializer_list<SocketRecord*> recs) {
    size_t i = 0;
    for (SocketRecord* rec : recs) data.ppInput[i++] = rec;
    data.ppInput[i] = nullptr;
  }
};

// Sends one byte with the given flags.
inline void Send(SocketRecord* rec, char c, int flags = 0) {
  std::vector<char> out{c};
  Buffer w = View(out);
  w.lCounter1 = flags;
  ASSERT_EQ(WriteSocket(rec, &w, nullptr), 1);
}

}  // namespace clnxtest
