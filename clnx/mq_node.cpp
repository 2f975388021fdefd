// MQNode records: creation in every variant, the open (connect or accept) and close
// operations, trace hooks, last-error helpers and socket buffer sizes.
#include <cstddef>
#include <cstring>

#include "mq_node_internal.h"

static_assert(sizeof(void*) != 8 ||
              (offsetof(MQNode, szName) == 8 && offsetof(MQNode, szPlatform) == 264 &&
               offsetof(MQNode, szUserId) == 520 && offsetof(MQNode, szApplName) == 533 &&
               offsetof(MQNode, Socket) == 584 && offsetof(MQNode, pChild) == 1432 &&
               offsetof(MQNode, lLastError) == 1456 && offsetof(MQNode, pfnOpen) == 1464 &&
               offsetof(MQNode, pfnTrace) == 1512 && offsetof(MQNode, Address) == 1520 &&
               offsetof(MQNode, pOutQ) == 1904 && offsetof(MQNode, InBuf) == 1920 &&
               sizeof(MQNode) == 1952));

namespace {

using namespace vrq::node;

constexpr const char* kNodeTag = "MQNode";
constexpr const char* kWrappedName = "@";
constexpr uint32_t kLingerOption = 4;
constexpr uint32_t kSendBufferOption = 7;
constexpr uint32_t kReceiveBufferOption = 8;
constexpr int kListenBacklog = 5;

MQNodeTraceHook g_default_trace = nullptr;

enum class Transport { kTcp, kUdp };

template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  if (text != nullptr) std::memcpy(field, text, strnlen(text, N - 1));
}

void InstallMethods(MQNode* node) {
  node->pfnOpen = mnOpen;
  node->pfnClose = mnClose;
  node->pfnRead = mnRead;
  node->pfnBrowse = mnBrowse;
  node->pfnWrite = mnWrite;
  node->pfnPost = mnPost;
}

// Steps shared by every variant: the record, its counters, the input buffer, the names.
MQNode* NewNode(int mode, const char* name) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(MQNode), kNodeTag)) return nullptr;
  auto* node = static_cast<MQNode*>(block);
  node->pfnTrace = g_default_trace;
  node->ulKind = MQNODE_KIND;
  node->ulMode = static_cast<uint32_t>(mode);
  node->lPendingLimit = -1;
  node->ulQLimit = MQNODE_QUEUE_LIMIT;
  InitSocket(&node->Socket);
  CreateBuffer(&node->InBuf, MQNODE_INPUT_SIZE);
  ResetBuffer(&node->InBuf, MDHDR_LENGTH);
  CopyText(node->szName, name);
  CopyText(node->szPlatform, PlatformName());
  int size = sizeof node->szUserId;
  if (!CurrentUserName(node->szUserId, &size)) std::memset(node->szUserId, 0, sizeof node->szUserId);
  int appl_length = sizeof node->szApplName;
  GetApplName(node->szApplName, &appl_length);
  return node;
}

MQNode* CreateNode(SocketAddress* addr, int mode, const SocketOption* option, Transport transport,
                   const char* point) {
  if (addr == nullptr) return nullptr;
  const bool udp = transport == Transport::kUdp;
  MQNode* node = NewNode(udp ? MQNODE_MODE_CLIENT : mode, addr->szHost);
  if (node == nullptr) return nullptr;
  SocketRecord* sock = &node->Socket;
  const int created = udp ? CreateUDPSocket(sock) : CreateSocket(sock);
  sock->pOwner = node;
  if (udp) ResetInput(node, 0);
  if (created) {
    if (option != nullptr) {
      SetSocketOptions(sock, option);
    } else if (!udp) {
      ReuseSocket(sock, 0);
    }
    const SocketOption linger{kLingerOption, 0, 1};
    SetSocketOptions(sock, &linger);
  }
  node->Address = *addr;
  InstallMethods(node);
  if (created && udp) {
    node->ulOpen = static_cast<uint32_t>(BindSocketName(sock, &node->Address));
  } else if (created && mode == MQNODE_MODE_SERVER) {
    if (BindSocketName(sock, &node->Address)) ListenSocket(sock, kListenBacklog);
  }
  node->lLastError = sock->lLastError;
  Trace(node, point);
  return node;
}

// The peer node of an accepted connection: a copy of the server around the new socket,
// taking over the server's input buffer and output queue.
MQNode* AdoptAccepted(MQNode* server, const SocketRecord& accepted) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(MQNode), kNodeTag)) return nullptr;
  auto* child = static_cast<MQNode*>(block);
  std::memcpy(child, server, sizeof(MQNode));
  child->Socket = accepted;
  child->Socket.pOwner = child;
  child->ulMode = MQNODE_MODE_CLIENT;
  child->ulOpen = 1;
  child->pChild = nullptr;
  server->pChild = child;
  server->pOutQ = nullptr;
  server->InBuf = Buffer{};
  CreateBuffer(&server->InBuf, MQNODE_INPUT_SIZE);
  ResetBuffer(&server->InBuf, MDHDR_LENGTH);
  return child;
}

}  // namespace

extern "C" {

VRQCLNX_API MQNode* CreateMQNode(SocketAddress* addr, int mode) {
  return CreateNode(addr, mode, nullptr, Transport::kTcp, "CreateMQNode");
}

VRQCLNX_API MQNode* CreateMQNodeWithOpt(SocketAddress* addr, int mode, SocketOption* option) {
  const SocketOption none{1, 0, 0};  // a missing option still turns address reuse off
  return CreateNode(addr, mode, option != nullptr ? option : &none, Transport::kTcp, "CreateMQNodeWithOpt");
}

VRQCLNX_API MQNode* CreateUDPMQNodeWithOpt(SocketAddress* addr, SocketOption* option) {
  return CreateNode(addr, MQNODE_MODE_CLIENT, option, Transport::kUdp, "CreateUDPMQNodeWithOpt");
}

VRQCLNX_API MQNode* CreateUDPMQNode(SocketAddress* addr) { return CreateUDPMQNodeWithOpt(addr, nullptr); }

VRQCLNX_API MQNode* CreateAndBindMQNode(SocketRecord* socket, int mode) {
  if (socket == nullptr) return nullptr;
  MQNode* node = NewNode(mode, kWrappedName);
  if (node == nullptr) return nullptr;
  node->Socket = *socket;
  node->Socket.pOwner = node;
  if (IsDatagram(node)) ResetInput(node, 0);
  InstallMethods(node);
  node->lLastError = node->Socket.lLastError;
  Trace(node, "CreateAndBindMQNode");
  return node;
}

VRQCLNX_API int DeleteMQNode(MQNode* node) {
  if (node == nullptr) return 0;
  Trace(node, "DeleteMQNode");
  mnClose(node);
  FreeMemory(node);
  return 1;
}

VRQCLNX_API int mnOpen(MQNode* node) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (node->ulOpen != 0) return static_cast<int>(node->ulOpen);
  int result = 0;
  if (node->ulMode == MQNODE_MODE_SERVER) {
    SocketRecord accepted{};
    result = AcceptClient(&node->Socket, &accepted);
    if (result && AdoptAccepted(node, accepted) == nullptr) {
      DeleteSocket(&accepted);
      result = 0;
    }
  } else {
    result = ConnectSocket(&node->Socket, &node->Address);
    node->ulOpen = static_cast<uint32_t>(result);
  }
  node->lLastError = node->Socket.lLastError;
  Trace(node, "mnOpen");
  return result;
}

VRQCLNX_API int mnClose(MQNode* node) {
  if (node == nullptr) return 0;
  Trace(node, "mnClose");
  mnClearPeningIO(node);
  DeleteSocket(&node->Socket);
  DeleteBuffer(&node->InBuf);
  node->ulOpen = 0;
  node->lLastError = node->Socket.lLastError;
  return 1;
}

VRQCLNX_API int mnClearPeningIO(MQNode* node) {
  if (node == nullptr) return 0;
  Trace(node, "mnClearPeningIO");
  if (node->pOutQ == nullptr) return 1;
  while (Qdepth(node->pOutQ) > 0) DiscardBuffer(static_cast<Buffer*>(Qget(node->pOutQ)));
  Qfree(&node->pOutQ);
  return 1;
}

VRQCLNX_API int mnIsPendingIO(MQNode* node) { return node != nullptr && node->pOutQ != nullptr ? 1 : 0; }

VRQCLNX_API int mnSetBufferSize(MQNode* node, int size) {
  if (node == nullptr || size < 0) return 0;
  const auto value = static_cast<uint32_t>(size);
  const SocketOption send{kSendBufferOption, value, 0};
  const SocketOption receive{kReceiveBufferOption, value, 0};
  const int sent = SetSocketOptions(&node->Socket, &send);
  const int received = SetSocketOptions(&node->Socket, &receive);
  return sent && received ? 1 : 0;
}

VRQCLNX_API int mnSetTraceCallBack(MQNodeTraceHook hook, MQNode* node) {
  if (node != nullptr) node->pfnTrace = hook;
  return 1;
}

VRQCLNX_API int mnGSetTraceCallBack(MQNodeTraceHook hook) {
  g_default_trace = hook;
  return 1;
}

VRQCLNX_API void RunTraceMethod(const char* point, MQNode* node) {
  if (node != nullptr && node->pfnTrace != nullptr) node->pfnTrace(point, node);
}

VRQCLNX_API void SetMQNodeError(MQNode* node) {
  if (node != nullptr) node->lLastError = node->Socket.lLastError;
}

VRQCLNX_API int IsNodeQReady(MQNode* node) {
  if (node == nullptr || node->pOutQ == nullptr) return 1;
  return IsQReady(node->pOutQ);
}

VRQCLNX_API void SetNodeQLimit(MQNode* node) {
  if (node != nullptr && node->pOutQ != nullptr) SetQLimit(node->pOutQ, static_cast<int>(node->ulQLimit));
}

VRQCLNX_API int IsNodeFailed(MQNode* node) {
  if (node == nullptr) return 1;
  return node->lLastError == 0 || node->lLastError == MQNODE_LIMIT_REACHED ? 0 : 1;
}

}  // extern "C"
