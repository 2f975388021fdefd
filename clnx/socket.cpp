// The socket layer: SocketRecord life cycle, connect/bind through text addresses,
// listen and accept, single reads and writes that keep their progress in a Buffer's
// counters, socket options, hooks and trace points. Every failing call leaves its error
// number in the record and runs the record's error hook.
#include <cmqc.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "socket_sys.h"

static_assert(sizeof(SocketAddress) == 384, "SocketAddress is a 384-byte record");
static_assert(offsetof(SocketAddress, szIp) == 256);
static_assert(offsetof(SocketAddress, szService) == 296);
static_assert(offsetof(SocketAddress, szProtocol) == 329);
static_assert(offsetof(SocketAddress, ulPort) == 376);
static_assert(sizeof(SocketOption) == 12);
static_assert(sizeof(PostTimeout) == 8);
static_assert(offsetof(SocketRecord, ullBytesWritten) == 16);
static_assert(offsetof(SocketRecord, lLastError) == 32);
static_assert(offsetof(SocketRecord, pfnError) == 40);
static_assert(sizeof(void*) != 8 || offsetof(SocketRecord, lConnected) == 56);
static_assert(sizeof(void*) != 8 || offsetof(SocketRecord, OwnName) == 60);
static_assert(sizeof(void*) != 8 || offsetof(SocketRecord, Peer) == 444);
static_assert(sizeof(void*) != 8 || offsetof(SocketRecord, pCurrent) == 832);
static_assert(sizeof(void*) != 8 || sizeof(SocketRecord) == 848);
static_assert(sizeof(sockaddr_in) == 16, "the IPv4 system address is 16 bytes");

namespace {

using namespace vrq::net;

constexpr std::string_view kTcp = "tcp";
constexpr std::string_view kAnyHost = "*";
constexpr std::string_view kThisHost = "@";
constexpr const char* kLocalhost = "localhost";
constexpr const char* kCloseFailed = "%.8s SOCKSIN::DeleteSocket close(%d) failed RC(%d) errno(%d)\n";
constexpr int kConnect = 0;
constexpr int kBind = 1;

// Option codes and the socket-level options they stand for.
struct OptionRow {
  int code;
  int option;
};
constexpr OptionRow kOptionTable[] = {
    {0, SO_DEBUG},     {1, SO_REUSEADDR}, {2, SO_KEEPALIVE},  {3, SO_DONTROUTE},
    {4, SO_LINGER},    {5, SO_BROADCAST}, {6, SO_OOBINLINE},  {7, SO_SNDBUF},
    {8, SO_RCVBUF},    {9, SO_TYPE},      {10, SO_ERROR},
};
constexpr int kLingerCode = 4;
constexpr int kSendBufferCode = 7;
constexpr int kReceiveBufferCode = 8;
constexpr int kReuseCode = 1;

SocketTraceHook g_default_trace = nullptr;

void Trace(SocketRecord* rec, const char* point) { RunSocketTrace(point, rec); }

// Records a failure: the error number (in-progress counts as would-block) and the hook.
int Fail(SocketRecord* rec, int error) {
  rec->lLastError = (error == kErrInProgress) ? kErrWouldBlock : error;
  rec->lHookResult = rec->pfnError != nullptr ? rec->pfnError(rec) : 0;
  return 0;
}

int FailWithErrno(SocketRecord* rec) { return Fail(rec, LastError()); }

// Terminates every text field of a caller's address at its last byte.
void TerminateFields(SocketAddress* addr) {
  addr->szHost[sizeof addr->szHost - 1] = '\0';
  addr->szIp[sizeof addr->szIp - 1] = '\0';
  addr->szService[sizeof addr->szService - 1] = '\0';
  addr->szProtocol[sizeof addr->szProtocol - 1] = '\0';
}

bool StartsWithDigit(std::string_view text) {
  return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

// The port of the service field: its decimal value, or the looked-up service name.
int ResolvePort(const SocketAddress* addr, uint16_t* port) {
  const std::string_view service = FieldText(addr->szService);
  if (!StartsWithDigit(service)) {
    char name[sizeof addr->szService];
    char protocol[sizeof addr->szProtocol];
    CopyField(name, service);
    CopyField(protocol, FieldText(addr->szProtocol));
    return LookupService(name, protocol, port);
  }
  unsigned long value = 0;
  for (char c : service) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > 65535) return VRQ_SOCK_NO_SERVICE;
  }
  *port = static_cast<uint16_t>(value);
  return 0;
}

// Resolves the host part into sys; 0 or the error to report.
int ResolveHost(SocketRecord* rec, const SocketAddress* addr, sockaddr_in* sys) {
  const std::string_view host = FieldText(addr->szHost);
  char ip[sizeof addr->szIp];
  CopyField(ip, FieldText(addr->szIp));
  sys->sin_family = static_cast<decltype(sys->sin_family)>(rec->iFamily);
  if (host == kAnyHost) {
    sys->sin_addr.s_addr = htonl(INADDR_ANY);
    return 0;
  }
  char name[sizeof addr->szHost];
  CopyField(name, IsValidIp(ip) ? std::string_view(ip) : host);
  if (name == kThisHost) CopyField(name, kLocalhost);
  if (!StartsWithDigit(name)) {
    in_addr found{};
    const int err = LookupHost(name, &found);
    if (err == 0) {
      sys->sin_family = AF_INET;
      sys->sin_addr = found;
      return 0;
    }
    if (!StartsWithDigit(ip)) return err;
    return MapHostIPToAddr(ip, sys) ? 0 : VRQ_SOCK_NO_HOST;
  }
  return MapHostIPToAddr(name, sys) ? 0 : VRQ_SOCK_NO_HOST;
}

// A buffer whose counters stay inside its bytes.
bool IsUsableBuffer(const Buffer* buffer, MQLONG done) {
  return buffer != nullptr && buffer->pBuffer != nullptr && buffer->lLength >= 0 &&
         buffer->lLength <= buffer->lSize && done >= 0 && done <= buffer->lLength;
}

int SetOption(SocketRecord* rec, int level, int option, const void* value, SockLen size) {
  if (setsockopt(rec->iSocket, level, option, static_cast<const char*>(value), size) != 0) {
    return FailWithErrno(rec);
  }
  rec->lLastError = 0;
  return 1;
}

}  // namespace

extern "C" {

VRQCLNX_API int OSInitSocket(SocketRecord* rec) {
  const int err = StartSockets();
  if (err == 0) return 1;
  if (rec != nullptr) Fail(rec, err);
  return 0;
}

VRQCLNX_API int InitSocket(SocketRecord* rec) {
  if (rec == nullptr) return 0;
  std::memset(rec, 0, sizeof *rec);
  rec->iSocket = -1;
  return 1;
}

VRQCLNX_API int CreateAnySocket(SocketRecord* rec, int family, int type) {
  if (!InitSocket(rec)) return 0;
  const int started = OSInitSocket(rec);
  rec->pfnTrace = g_default_trace;
  if (started) {
    CopyField(rec->Peer.szProtocol, kTcp);
    rec->iFamily = family;
    rec->iType = type;
    ClearLastError();
    rec->iSocket = KeepDescriptor(socket(family, type, rec->iProtocol));
    if (rec->iSocket < 0) {
      FailWithErrno(rec);
      Trace(rec, "CreateAnySocket");
      return 0;
    }
  }
  Trace(rec, "CreateAnySocket");
  return started;
}

VRQCLNX_API int CreateSocket(SocketRecord* rec) { return CreateAnySocket(rec, AF_INET, SOCK_STREAM); }

VRQCLNX_API int CreateUDPSocket(SocketRecord* rec) {
  return CreateAnySocket(rec, AF_INET, SOCK_DGRAM);
}

VRQCLNX_API int CreateSocketFromExisting(SocketRecord* rec, int descriptor) {
  if (!InitSocket(rec)) return 0;
  rec->iFamily = AF_INET;
  rec->iType = SOCK_STREAM;
  rec->iSocket = descriptor;
  CopyField(rec->Peer.szProtocol, kTcp);
  rec->pfnTrace = g_default_trace;
  Trace(rec, "CreateSocketFromExisting");
  return 1;
}

VRQCLNX_API int DeleteSocket(SocketRecord* rec) {
  if (rec == nullptr) return 1;
  Trace(rec, "DeleteSocket");
  if (rec->iSocket < 1) return 1;
  const int fd = rec->iSocket;
  // The descriptor number may be handed out again at once: never close it twice.
  rec->iSocket = -1;
  const int rc = CloseDescriptor(fd);
  if (rc != 0) {
    const int err = LastError();
    char now[9];
    TimeOfDay(now);
    std::printf(kCloseFailed, now, fd, rc, err);
    std::fflush(stdout);
  }
  return 1;
}

VRQCLNX_API int NoblockSocket(SocketRecord* rec) {
  if (rec == nullptr) return 0;
  const int ok = SetNonBlocking(rec->iSocket, true) == 0 ? 1 : FailWithErrno(rec);
  Trace(rec, "NoblockSocket");
  return ok;
}

VRQCLNX_API int BlockSocket(SocketRecord* rec) {
  if (rec == nullptr) return 0;
  const int ok = SetNonBlocking(rec->iSocket, false) == 0 ? 1 : FailWithErrno(rec);
  Trace(rec, "BlockSocket");
  return ok;
}

VRQCLNX_API int AddrToIP(SocketRecord* rec, SocketAddress* addr, struct sockaddr_in* sys) {
  if (rec == nullptr || addr == nullptr || sys == nullptr) return 0;
  Trace(rec, "AddrToIP:Before");
  std::memset(sys, 0, sizeof *sys);
  ClearLastError();
  uint16_t port = 0;
  int err = ResolvePort(addr, &port);
  if (err == 0) {
    addr->ulPort = port;
    sys->sin_port = htons(port);
    err = ResolveHost(rec, addr, sys);
  }
  rec->lLastError = err;
  Trace(rec, "AddrToIP:After");
  return err == 0 ? 1 : 0;
}

VRQCLNX_API int SockAction(SocketRecord* rec, SocketAddress* addr, int action) {
  if (rec == nullptr || addr == nullptr) return 0;
  TerminateFields(addr);
  sockaddr_in sys{};
  if (!AddrToIP(rec, addr, &sys)) return 0;
  LocalNodeName(rec->OwnName.szHost, sizeof rec->OwnName.szHost);
  CopyField(rec->OwnName.szProtocol, FieldText(addr->szProtocol));
  ClearLastError();
  int rc = -1;
  int err = 0;
  if (action == kConnect) {
    rc = connect(rec->iSocket, reinterpret_cast<const sockaddr*>(&sys), sizeof sys);
    err = rc == 0 ? 0 : LastError();
    rec->Peer = *addr;
    rec->OwnName = *addr;
    if (rc == 0 || err == kErrIsConnected) IpAddrToSocketAddr(&rec->Peer, &sys);
  } else if (action == kBind) {
    rc = bind(rec->iSocket, reinterpret_cast<const sockaddr*>(&sys), sizeof sys);
    err = rc == 0 ? 0 : LastError();
    if (rc == 0) {
      // The bound name, with the port the system chose when port 0 was asked for.
      sockaddr_in bound = sys;
      SockLen size = sizeof bound;
      if (getsockname(rec->iSocket, reinterpret_cast<sockaddr*>(&bound), &size) != 0) bound = sys;
      IpAddrToSocketAddr(&rec->OwnName, &bound);
    }
  } else {
    err = kErrInvalid;
  }
  *addr = rec->OwnName;
  // Connecting a connected socket counts as success, and a success leaves no error.
  const bool ok = rc == 0 || err == kErrIsConnected;
  rec->lLastError = ok ? 0 : (err == kErrInProgress ? kErrWouldBlock : err);
  return ok ? 1 : 0;
}

VRQCLNX_API int ConnectSocket(SocketRecord* rec, SocketAddress* addr) {
  if (rec == nullptr) return 0;
  Trace(rec, "ConnectSocket:Before");
  const int ok = SockAction(rec, addr, kConnect);
  if (!ok) Fail(rec, addr == nullptr ? kErrDestAddrReq : rec->lLastError);
  rec->lConnected = ok;
  Trace(rec, "ConnectSocket:After");
  return ok;
}

VRQCLNX_API int BindSocketName(SocketRecord* rec, SocketAddress* addr) {
  if (rec == nullptr) return 0;
  Trace(rec, "BindSocket:Before");
  const int ok = SockAction(rec, addr, kBind);
  if (!ok) Fail(rec, addr == nullptr ? kErrInvalid : rec->lLastError);
  if (ok) rec->OwnName = *addr;
  rec->lConnected = ok;
  Trace(rec, "BindSocket:After");
  return ok;
}

VRQCLNX_API int ListenSocket(SocketRecord* rec, int backlog) {
  if (rec == nullptr) return 0;
  int ok = 1;
  if (listen(rec->iSocket, backlog) != 0) {
    ok = FailWithErrno(rec);
  } else {
    rec->lLastError = 0;
  }
  Trace(rec, "ListenSocket");
  return ok;
}

VRQCLNX_API int AcceptClient(SocketRecord* listener, SocketRecord* client) {
  if (listener == nullptr || client == nullptr) return 0;
  Trace(listener, "AcceptClient:Before");
  sockaddr_in remote{};
  SockLen size = sizeof remote;
  const int fd = KeepDescriptor(accept(listener->iSocket, reinterpret_cast<sockaddr*>(&remote), &size));
  const bool ok = fd >= 0;
  if (ok) {
    InitSocket(client);
    client->iSocket = fd;
    IpAddrToSocketAddr(&client->OwnName, &remote);
    IpAddrToSocketAddr(&client->Peer, &remote);
    client->iFamily = listener->iFamily;
    client->iType = listener->iType;
    client->iProtocol = listener->iProtocol;
    client->lConnected = 1;
    listener->lLastError = 0;
  } else {
    FailWithErrno(listener);
  }
  Trace(listener, "AcceptClient:After");
  if (ok) Trace(client, "AcceptClient:After:Client");
  return ok ? 1 : 0;
}

VRQCLNX_API int ReadSocket(SocketRecord* rec, Buffer* buffer) {
  if (rec == nullptr) return 0;
  rec->pCurrent = buffer;
  Trace(rec, "ReadSocket:Before");
  int ok = 0;
  if (!IsUsableBuffer(buffer, buffer != nullptr ? buffer->lCounter2 : 0) ||
      buffer->lCounter2 == buffer->lLength) {
    // Nothing can be received into a full or broken buffer; a zero-length receive would
    // look like a closed peer.
    Fail(rec, kErrInvalid);
  } else {
    sockaddr_in from{};
    SockLen size = sizeof from;
    ClearLastError();
    const auto n = recvfrom(rec->iSocket, buffer->pBuffer + buffer->lCounter2,
                            static_cast<std::size_t>(buffer->lLength - buffer->lCounter2),
                            static_cast<int>(buffer->lCounter1),
                            reinterpret_cast<sockaddr*>(&from), &size);
    if (n > 0) {
      rec->lLastError = 0;
      buffer->lCounter2 += static_cast<MQLONG>(n);
      rec->ullBytesRead += static_cast<uint64_t>(n);
      if (rec->iType == SOCK_DGRAM) IpAddrToSocketAddr(&rec->Peer, &from);
      ok = 1;
    } else if (n == 0) {
      Fail(rec, VRQ_SOCK_PEER_CLOSED);
    } else {
      FailWithErrno(rec);
    }
  }
  Trace(rec, "ReadSocket:After");
  rec->pCurrent = nullptr;
  return ok;
}

VRQCLNX_API int WriteSocket(SocketRecord* rec, Buffer* buffer, SocketAddress* addr) {
  if (rec == nullptr) return 0;
  rec->pCurrent = buffer;
  Trace(rec, "WriteSocket:Before");
  int ok = 0;
  if (!IsUsableBuffer(buffer, buffer != nullptr ? buffer->lCounter3 : 0)) {
    Fail(rec, kErrInvalid);
  } else {
    const char* data = buffer->pBuffer + buffer->lCounter3;
    const auto size = static_cast<std::size_t>(buffer->lLength - buffer->lCounter3);
    const int flags = static_cast<int>(buffer->lCounter1) | kSendFlags;
    long n = -1;
    int err = 0;
    if (rec->iType == SOCK_DGRAM) {
      sockaddr_in target{};
      if (addr == nullptr || !AddrToIP(rec, addr, &target)) {
        err = kErrDestAddrReq;
      } else {
        ClearLastError();
        n = static_cast<long>(sendto(rec->iSocket, data, size, flags,
                                     reinterpret_cast<const sockaddr*>(&target), sizeof target));
      }
    } else {
      ClearLastError();
      n = static_cast<long>(send(rec->iSocket, data, size, flags));
    }
    if (n >= 0) {
      rec->lLastError = 0;
      buffer->lCounter3 += static_cast<MQLONG>(n);
      rec->ullBytesWritten += static_cast<uint64_t>(n);
      ok = 1;
    } else {
      Fail(rec, err != 0 ? err : LastError());
    }
  }
  Trace(rec, "WriteSocket:After");
  rec->pCurrent = nullptr;
  return ok;
}

VRQCLNX_API int GetFromAddr(SocketRecord* rec, SocketAddress* out) {
  if (rec == nullptr || out == nullptr) return 0;
  *out = rec->Peer;
  return 1;
}

VRQCLNX_API int GetSocketName(SocketRecord* rec, SocketAddress* out) {
  if (rec == nullptr || out == nullptr) return 0;
  *out = rec->OwnName;
  return 1;
}

VRQCLNX_API int GetHostIP(SocketAddress* addr) {
  if (addr == nullptr) return 0;
  CopyField(addr->szIp, "0.0.0.0");
  return 1;
}

VRQCLNX_API int IpAddrToSocketAddr(SocketAddress* addr, const struct sockaddr_in* sys) {
  if (addr == nullptr || sys == nullptr) return 0;
  char ip[VRQ_IP_TEXT_SIZE];
  MapHostAddrToIP(ip, sys);
  CopyField(addr->szIp, ip);
  const uint16_t port = ntohs(sys->sin_port);
  std::snprintf(addr->szService, sizeof addr->szService, "%u", static_cast<unsigned>(port));
  addr->ulPort = port;
  return 1;
}

VRQCLNX_API int MapSockOption(int code) {
  if (code < 0) return -1;
  for (const OptionRow& row : kOptionTable) {
    if (row.code == code) return row.option;
  }
  return code;
}

VRQCLNX_API int GetSocketOptions(SocketRecord* rec, SocketOption* option) {
  if (rec == nullptr || option == nullptr) return 0;
  int value = 0;
  SockLen size = sizeof value;
  if (getsockopt(rec->iSocket, SOL_SOCKET, MapSockOption(static_cast<int32_t>(option->ulOption)),
                 reinterpret_cast<char*>(&value), &size) != 0) {
    return FailWithErrno(rec);
  }
  option->ulValue1 = static_cast<uint32_t>(value);
  rec->lLastError = 0;
  return 1;
}

VRQCLNX_API int SetSocketOptions(SocketRecord* rec, const SocketOption* option) {
  if (rec == nullptr || option == nullptr) return 0;
  const int code = static_cast<int32_t>(option->ulOption);
  const int mapped = MapSockOption(code);
  if (code == kLingerCode) {
    linger value{};
    value.l_onoff = static_cast<decltype(value.l_onoff)>(option->ulValue2);
    value.l_linger = static_cast<decltype(value.l_linger)>(option->ulValue1);
    return SetOption(rec, SOL_SOCKET, mapped, &value, sizeof value);
  }
  const bool first = code == kSendBufferCode || code == kReceiveBufferCode;
  const int value = static_cast<int>(first ? option->ulValue1 : option->ulValue2);
  return SetOption(rec, SOL_SOCKET, mapped, &value, sizeof value);
}

VRQCLNX_API int SetTcpNoDelay(SocketRecord* rec, int flag) {
  if (rec == nullptr) return 0;
  return SetOption(rec, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
}

VRQCLNX_API int SetTcpBuffer(SocketRecord* rec, int size) {
  if (rec == nullptr) return 0;
  const auto value = static_cast<uint32_t>(size);
  const SocketOption send_size{kSendBufferCode, value, 0};
  const SocketOption receive_size{kReceiveBufferCode, value, 0};
  return SetSocketOptions(rec, &send_size) && SetSocketOptions(rec, &receive_size) ? 1 : 0;
}

VRQCLNX_API int ReuseSocket(SocketRecord* rec, int flag) {
  const SocketOption reuse{kReuseCode, 0, flag == 1 ? 1u : 0u};
  return SetSocketOptions(rec, &reuse);
}

VRQCLNX_API int OnSocketError(SocketRecord* rec, SocketErrorHook hook) {
  if (rec == nullptr) return 0;
  rec->pfnError = hook;
  return 1;
}

VRQCLNX_API int OnSocketTrace(SocketRecord* rec, SocketTraceHook hook) {
  if (rec == nullptr) return 0;
  rec->pfnTrace = hook;
  return 1;
}

VRQCLNX_API int OnGSocketTrace(SocketTraceHook hook) {
  g_default_trace = hook;
  return 1;
}

VRQCLNX_API void RunSocketTrace(const char* point, SocketRecord* rec) {
  if (rec != nullptr && rec->pfnTrace != nullptr) rec->pfnTrace(point, rec);
}

}  // extern "C"
