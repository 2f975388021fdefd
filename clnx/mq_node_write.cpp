// Writing from an MQNode: the plain and signed wire images of a PCF message, their
// hand-over to the socket with the pending-write limit, and the output queue that holds
// what the socket could not take at once until mnFinishWrite pushes it on.
#include <cmqc.h>

#include <cstring>

#include "mq_node_internal.h"
#include "vrqsign.h"

namespace {

using namespace vrq::node;

constexpr const char* kBufferTag = "MQNODE";
constexpr size_t kUserIdLength = 12;

// Fills the MDHDR fields every writer sets; user is cut to 12 characters.
void StampHeader(PcfMessage* msg, const MQNode* node, const char* user) {
  MDHDR* hdr = msg->PcfMsg.pMdHdr;
  hdr->StrucLength = MDHDR_LENGTH;
  hdr->lByteOrder = IsBgEndian();
  hdr->lTextCode = IsAscText();
  hdr->lUserMsgLength = msg->PcfMsg.lMsgLength - MDHDR_LENGTH;
  std::memset(hdr->UserId, 0, sizeof hdr->UserId);
  if (user != nullptr) std::memcpy(hdr->UserId, user, strnlen(user, kUserIdLength));
  std::memcpy(hdr->ApplName, node->szApplName, sizeof hdr->ApplName);
}

// A new tracked Buffer record without bytes; null sets the would-block error.
Buffer* NewBuffer(MQNode* node) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(Buffer), kBufferTag)) {
    node->lLastError = kWouldBlock;
    return nullptr;
  }
  return static_cast<Buffer*>(block);
}

bool IsWritable(PcfMessage* msg, MQNode* node) {
  if (msg != nullptr && msg->PcfMsg.pMdHdr != nullptr && msg->PcfMsg.lMsgLength >= MDHDR_LENGTH &&
      msg->PcfMsg.lMsgLength <= msg->PcfMsg.lMaxLength) {
    return true;
  }
  node->lLastError = MQNODE_INVALID;
  return false;
}

int WritePlain(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user, int high) {
  Trace(node, "mnWriteMsg");
  node->lLastError = 0;
  if (!IsWritable(msg, node)) return 0;
  StampHeader(msg, node, user);
  Buffer* buffer = NewBuffer(node);
  if (buffer == nullptr) return 0;
  if (!CreateBuffer(buffer, msg->PcfMsg.lMsgLength)) {
    FreeMemory(buffer);
    node->lLastError = kWouldBlock;
    return 0;
  }
  std::memcpy(buffer->pBuffer, msg->PcfMsg.pMdHdr, static_cast<size_t>(msg->PcfMsg.lMsgLength));
  return mnWriteToNode(node, addr, buffer, high);
}

int WriteSigned(PcfMessage* msg, MQNode* node, SocketAddress* addr, const uint32_t* signature, int high) {
  Trace(node, "mnSWriteMsg");
  node->lLastError = 0;
  if (!IsWritable(msg, node)) return 0;
  StampHeader(msg, node, node->szUserId);
  const MDHDR* hdr = msg->PcfMsg.pMdHdr;
  MSHDRE& ext = msg->Ext;
  ext.StrucLength = MSHDRE_LENGTH;
  ext.Version = 1;
  ext.Encoding = hdr->lByteOrder;
  ext.CharSet = hdr->lTextCode;
  ext.UserMsgLength = hdr->lUserMsgLength + MDHDR_LENGTH;
  std::memcpy(ext.Author, node->szUserId, sizeof ext.Author);
  Buffer* buffer = NewBuffer(node);
  if (buffer == nullptr) return 0;
  if (!sgx_sign(signature, msg, buffer)) {
    DiscardBuffer(buffer);
    node->lLastError = MQNODE_SIGN_FAILED;
    return 0;
  }
  const int result = mnWriteToNode(node, addr, buffer, high);
  Trace(node, "mnSWriteMsg");
  return result;
}

bool IsComplete(const Buffer* buffer) { return buffer->lCounter3 >= buffer->lLength; }

// Queues buffer on the node's output queue, making the queue when there is none.
bool Enqueue(MQNode* node, Buffer* buffer, int high) {
  if (node->pOutQ == nullptr) {
    node->pOutQ = Qalloc();
    if (node->pOutQ == nullptr) return false;
    SetNodeQLimit(node);
  }
  if (high) {
    QputHigh(node->pOutQ, buffer);
  } else {
    Qput(node->pOutQ, buffer);
  }
  return true;
}

void CountFinished(MQNode* node) {
  ++node->ulWritten;
  if (node->lPending > 0) --node->lPending;
}

}  // namespace

extern "C" {

VRQCLNX_API int mnWriteMsg(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user, int high) {
  return node != nullptr ? WritePlain(msg, node, addr, user, high) : 0;
}

VRQCLNX_API int mnSWriteMsgWithPriority(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user,
                                        int is_signed, const uint32_t* signature, int high) {
  if (node == nullptr) return 0;
  return is_signed ? WriteSigned(msg, node, addr, signature, high) : WritePlain(msg, node, addr, user, high);
}

VRQCLNX_API int mnSWriteMsg(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user, int is_signed,
                            const uint32_t* signature, int high) {
  return mnSWriteMsgWithPriority(msg, node, addr, user, is_signed, signature, high);
}

VRQCLNX_API int mnWrite(PcfMessage* msg, MQNode* node) { return mnWriteTo(msg, node, nullptr); }

VRQCLNX_API int mnWriteTo(PcfMessage* msg, MQNode* node, SocketAddress* addr) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  return mnWriteMsg(msg, node, addr, node->szUserId, 0);
}

VRQCLNX_API int mnSWrite(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature) {
  return mnSWriteTo(msg, node, nullptr, is_signed, signature);
}

VRQCLNX_API int mnSWriteTo(PcfMessage* msg, MQNode* node, SocketAddress* addr, int is_signed,
                           const uint32_t* signature) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  return mnSWriteMsg(msg, node, addr, node->szUserId, is_signed, signature, 0);
}

static int WriteAltUser(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature, int high) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (!IsWritable(msg, node)) return 0;
  MQCHAR* header_user = msg->PcfMsg.pMdHdr->UserId;
  if (header_user[0] == '\0' || header_user[0] == ' ') std::memcpy(header_user, node->szUserId, kUserIdLength);
  char user[kUserIdLength + 1] = {};
  std::memcpy(user, header_user, kUserIdLength);
  return mnSWriteMsgWithPriority(msg, node, nullptr, user, is_signed, signature, high);
}

VRQCLNX_API int mnSWriteAltUser(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature) {
  return WriteAltUser(msg, node, is_signed, signature, 0);
}

VRQCLNX_API int mnSWriteAltUserHigh(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature) {
  return WriteAltUser(msg, node, is_signed, signature, 1);
}

VRQCLNX_API int mnWriteToNode(MQNode* node, SocketAddress* addr, Buffer* buffer, int high) {
  if (node == nullptr) {
    DiscardBuffer(buffer);
    return 0;
  }
  node->lLastError = 0;
  if (buffer == nullptr) {
    node->lLastError = MQNODE_INVALID;
    return 0;
  }
  if (node->lPendingLimit > 0 && node->lPending + 1 > node->lPendingLimit) {
    DiscardBuffer(buffer);
    node->lLastError = MQNODE_LIMIT_REACHED;
    Trace(node, "mnWriteToNode");
    return 0;
  }
  buffer->lCounter1 = 0;
  buffer->lCounter3 = 0;
  if (node->pOutQ == nullptr) {
    const int written = WriteSocket(&node->Socket, buffer, addr);
    if (written && IsComplete(buffer)) {
      DiscardBuffer(buffer);
      ++node->ulWritten;
      Trace(node, "mnWriteToNode");
      return 1;
    }
    node->lLastError = node->Socket.lLastError;
    Trace(node, "mnWriteToNode");
    // A datagram is sent whole or not at all, and queued output would have no destination
    // when it is pushed on: a datagram the socket does not take is discarded.
    if ((!written && node->Socket.lLastError != kWouldBlock) || IsDatagram(node)) {
      DiscardBuffer(buffer);
      node->lLastError = kWouldBlock;
      return 0;
    }
    node->lLastError = kWouldBlock;
    if (!Enqueue(node, buffer, 0)) {
      DiscardBuffer(buffer);
      return 0;
    }
  } else if (!Enqueue(node, buffer, high)) {
    DiscardBuffer(buffer);
    return 0;
  }
  ++node->lPending;
  Trace(node, "mnWriteToNode");
  return 1;
}

VRQCLNX_API int mnFinishWrite(MQNode* node) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (node->pOutQ == nullptr) return 1;
  while (Qdepth(node->pOutQ) > 0) {
    auto* buffer = static_cast<Buffer*>(Qget(node->pOutQ));
    if (buffer == nullptr) {
      node->lLastError = MQNODE_NULL_QUEUED;
      if (node->lPending > 0) --node->lPending;
      return 0;
    }
    const int written = WriteSocket(&node->Socket, buffer, nullptr);
    if (!written && node->Socket.lLastError == kWouldBlock) {
      Qputhead(node->pOutQ, buffer);
      node->lLastError = kWouldBlock;
      return 1;
    }
    if (!written) {
      DiscardBuffer(buffer);
      node->lLastError = kWouldBlock;
      if (node->lPending > 0) --node->lPending;
      return 0;
    }
    if (!IsComplete(buffer)) {
      Qputhead(node->pOutQ, buffer);
      node->lLastError = kWouldBlock;
      return 1;
    }
    DiscardBuffer(buffer);
    CountFinished(node);
  }
  Qfree(&node->pOutQ);
  Trace(node, "mnFinishWrite");
  return 1;
}

}  // extern "C"
