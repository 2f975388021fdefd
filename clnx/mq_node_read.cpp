// Reading from an MQNode: the receive loop that fills the input buffer up to the expected
// length, the plain and signed reads that check a header, grow for the announced body and
// deliver a converted, indexed PCF message, and the browse that peeks at the next header.
// The bytes come from a peer that may be hostile: a header is trusted for nothing beyond
// its checked length, and every refused message leaves the buffer expecting a header.
#include <cstring>

#include "mq_node_internal.h"
#include "socket_sys.h"
#include "vrqsign.h"

namespace {

using namespace vrq::node;

constexpr MQLONG kPlainHeader = MDHDR_LENGTH;
constexpr MQLONG kSignedHeader = MSHDRE_LENGTH;

MQLONG FirstWord(const Buffer& buffer) {
  MQLONG word = 0;
  std::memcpy(&word, buffer.pBuffer, sizeof word);
  return word;
}

bool IsHeaderWord(MQLONG word, MQLONG header_size) {
  return word == header_size || static_cast<uint32_t>(word) == bwlong(static_cast<uint32_t>(header_size));
}

int Refuse(MQNode* node, int error, int header_size) {
  node->lLastError = error;
  ResetInput(node, header_size);
  return 0;
}

// Fills the input buffer up to its expected length (a datagram node: one datagram).
int ReceiveLoop(MQNode* node, MQLONG header_size) {
  node->lLastError = 0;
  Buffer* in = &node->InBuf;
  if (in->pBuffer == nullptr) {
    node->lLastError = MQNODE_INVALID;
    return 0;
  }
  const bool datagram = IsDatagram(node);
  if (datagram && in->lCounter2 == 0) in->lLength = in->lSize;
  while (in->lCounter2 < in->lLength) {
    if (!ReadSocket(&node->Socket, in)) {
      node->lLastError = node->Socket.lLastError;
      if (node->lLastError != kWouldBlock) ResetInput(node, header_size);
      return 0;
    }
    if (datagram) in->lLength = in->lCounter2;
    if (in->lCounter2 >= header_size && !IsHeaderWord(FirstWord(*in), header_size)) {
      return Refuse(node, MQNODE_BAD_HEADER, header_size);
    }
  }
  return 1;
}

// The receive loop under its trace point: mnReadMsg for plain headers, mnSReadMsg for the
// signed extension.
int Receive(MQNode* node, MQLONG header_size) {
  const int result = ReceiveLoop(node, header_size);
  Trace(node, header_size == kSignedHeader ? "mnSReadMsg" : "mnReadMsg");
  return result;
}

// True while the buffer waits for (or has just completed) a header of header_size bytes
// on a stream; a datagram holds header and body at once.
bool ExpectsHeader(const MQNode* node, MQLONG header_size) {
  return IsDatagram(node) || node->InBuf.lLength == header_size;
}

// Grows the input buffer for a body of body bytes behind the header and makes the whole
// message the expected length. Bodies beyond the node's maximum are refused.
bool ExpectBody(MQNode* node, MQLONG header_size, MQLONG body) {
  if (body < 0 || body > MQNODE_MAX_BODY) return false;
  Buffer* in = &node->InBuf;
  const MQLONG total = header_size + body;
  if (in->lSize < total && !SizeBuffer(in, total)) return false;
  if (IsDatagram(node)) return in->lCounter2 == total;  // a datagram holds all of it or is refused
  in->lLength = total;
  return true;
}

// Reads until the buffer holds a whole message; on a stream the header is checked by
// check_header once complete and the body read on.
template <typename CheckHeader>
int ReceiveMessage(MQNode* node, MQLONG header_size, CheckHeader check_header) {
  if (!Receive(node, header_size)) return 0;
  if (!ExpectsHeader(node, header_size)) return 1;
  MQLONG body = 0;
  if (!check_header(&body) || !ExpectBody(node, header_size, body)) {
    return Refuse(node, MQNODE_BAD_HEADER, header_size);
  }
  return IsDatagram(node) ? 1 : Receive(node, header_size);
}

// Makes room in msg for total bytes, header included.
bool FitMessage(PcfMessage* msg, MQLONG total) {
  if (msg->PcfMsg.lMaxLength >= total) return true;
  if (!SizeMessage(&msg->PcfMsg, total - kPlainHeader)) return false;
  ResetPcfBuffer(msg);
  return true;
}

bool ParseBody(PcfMessage* msg) { return AlienPcfToNative(msg) && RawToPcf(msg); }

MESSAGE HeaderView(char* bytes) {
  MESSAGE view{};
  view.lKind = 1;
  view.pMdHdr = reinterpret_cast<MDHDR*>(bytes);
  view.pData = bytes + kPlainHeader;
  return view;
}

int ReadPlain(PcfMessage* msg, MQNode* node) {
  Buffer* in = &node->InBuf;
  if (in->lCounter2 == 0 && in->lLength == kSignedHeader) ResetInput(node, kPlainHeader);
  const auto check = [in](MQLONG* body) {
    MESSAGE view = HeaderView(in->pBuffer);
    if (in->lCounter2 < kPlainHeader || !AlienToNative(&view)) return false;
    *body = view.pMdHdr->lUserMsgLength;
    return true;
  };
  if (!ReceiveMessage(node, kPlainHeader, check)) return 0;
  const MQLONG total = in->lCounter2;
  if (!FitMessage(msg, total)) return Refuse(node, MQNODE_NO_ROOM, kPlainHeader);
  std::memcpy(msg->PcfMsg.pMdHdr, in->pBuffer, static_cast<size_t>(total));
  msg->PcfMsg.lMsgLength = total;
  ++node->ulRead;
  int result = 1;
  if (!ParseBody(msg)) {
    node->lLastError = MQNODE_BAD_BODY;
    result = 0;
  }
  std::memcpy(msg->Ext.Author, msg->PcfMsg.pMdHdr->UserId, sizeof msg->Ext.Author);
  ResetInput(node, kPlainHeader);
  return result;
}

int FailDumped(MQNode* node, PcfMessage* msg, int error, MQLONG header_size) {
  DumpPcfMessage(msg);
  return Refuse(node, error, header_size);
}

int ReadSigned(PcfMessage* msg, MQNode* node) {
  Buffer* in = &node->InBuf;
  if (in->lCounter2 == 0 && in->lLength == kPlainHeader) ResetInput(node, kSignedHeader);
  const auto check = [in](MQLONG* body) {
    if (in->lCounter2 < kSignedHeader) return false;
    auto* ext = reinterpret_cast<MSHDRE*>(in->pBuffer);
    if (!AlienToNativeExt(ext)) return false;
    *body = ext->UserMsgLength;
    // The payload is an MDHDR and its body; anything shorter cannot be one.
    return *body >= kPlainHeader && *body - kPlainHeader <= MQNODE_MAX_BODY;
  };
  if (!ReceiveMessage(node, kSignedHeader, check)) return 0;
  const MQLONG total = in->lCounter2;
  if (!FitMessage(msg, total)) return Refuse(node, MQNODE_NO_ROOM, kSignedHeader);
  std::memcpy(&msg->Ext, in->pBuffer, sizeof msg->Ext);
  ++node->ulRead;
  Buffer payload{};
  payload.pBuffer = in->pBuffer + kSignedHeader;
  payload.lLength = payload.lSize = total - kSignedHeader;
  if (!sgx_authenticate(&msg->Ext, &payload, msg)) return Refuse(node, MQNODE_AUTH_FAILED, kSignedHeader);
  if (!AlienToNative(&msg->PcfMsg) ||
      msg->PcfMsg.pMdHdr->lUserMsgLength != msg->Ext.UserMsgLength - kPlainHeader) {
    return FailDumped(node, msg, MQNODE_BAD_HEADER, kSignedHeader);
  }
  ResetInput(node, kSignedHeader);
  if (!ParseBody(msg)) {
    node->lLastError = MQNODE_BAD_BODY;
    DumpPcfMessage(msg);
    return 0;
  }
  return 1;
}

// Peeks at the next header. A blocking stream waits until the whole header can be seen;
// when it still cannot (the peer closed, or the socket is non-blocking) the peek reports
// would-block rather than peeking again and again at the same bytes.
int PeekHeader(PcfMessage* msg, MQNode* node) {
  Buffer view{};
  view.pBuffer = reinterpret_cast<char*>(msg->PcfMsg.pMdHdr);
  view.lLength = view.lSize = kPlainHeader;
  view.lCounter1 = MSG_PEEK | MSG_WAITALL;
  if (!ReadSocket(&node->Socket, &view)) {
    node->lLastError = node->Socket.lLastError;
    return 0;
  }
  if (view.lCounter2 >= static_cast<MQLONG>(sizeof(MQLONG)) && !IsHeaderWord(FirstWord(view), kPlainHeader)) {
    node->lLastError = MQNODE_BAD_HEADER;
    return 0;
  }
  if (view.lCounter2 < kPlainHeader) {
    node->lLastError = kWouldBlock;
    return 0;
  }
  return 1;
}

int Browse(PcfMessage* msg, MQNode* node) {
  if (msg->PcfMsg.pMdHdr == nullptr || msg->PcfMsg.lMaxLength < kPlainHeader) {
    node->lLastError = MQNODE_NO_ROOM;
    return 0;
  }
  if (!PeekHeader(msg, node)) return 0;
  if (!AlienToNative(&msg->PcfMsg)) {
    node->lLastError = MQNODE_BAD_HEADER;
    DumpPcfMessage(msg);
    return 0;
  }
  const MQLONG body = msg->PcfMsg.pMdHdr->lUserMsgLength;
  if (body < 0 || body > MQNODE_MAX_BODY) {
    node->lLastError = MQNODE_BAD_HEADER;
    DumpPcfMessage(msg);
    return 0;
  }
  if (body > msg->PcfMsg.lMaxLength - kPlainHeader) {
    MDHDR header = *msg->PcfMsg.pMdHdr;
    if (!FitMessage(msg, kPlainHeader + body)) {
      node->lLastError = MQNODE_NO_ROOM;
      return 0;
    }
    *msg->PcfMsg.pMdHdr = header;
  }
  return 1;
}

}  // namespace

extern "C" {

VRQCLNX_API int mnReadMsg(MQNode* node) { return node != nullptr ? Receive(node, kPlainHeader) : 0; }

VRQCLNX_API int mnSReadMsg(MQNode* node) { return node != nullptr ? Receive(node, kSignedHeader) : 0; }

VRQCLNX_API int mnRead(PcfMessage* msg, MQNode* node) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (msg == nullptr || msg->PcfMsg.pMdHdr == nullptr) {
    node->lLastError = MQNODE_INVALID;
    return 0;
  }
  const int result = ReadPlain(msg, node);
  Trace(node, "mnRead");
  return result;
}

VRQCLNX_API int mnSRead(PcfMessage* msg, MQNode* node, int is_signed) {
  if (is_signed == 0) return mnRead(msg, node);
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (msg == nullptr || msg->PcfMsg.pMdHdr == nullptr) {
    node->lLastError = MQNODE_INVALID;
    return 0;
  }
  const int result = ReadSigned(msg, node);
  Trace(node, "mnSRead");
  return result;
}

VRQCLNX_API int mnBrowse(PcfMessage* msg, MQNode* node) {
  if (node == nullptr) return 0;
  node->lLastError = 0;
  if (msg == nullptr) {
    node->lLastError = MQNODE_INVALID;
    return 0;
  }
  const int result = Browse(msg, node);
  Trace(node, "mnBrowse");
  return result;
}

}  // extern "C"
