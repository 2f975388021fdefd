// What the MQNode source files share: trace, input-buffer states and the release of
// queued output buffers.
#pragma once

#include <string>

#include "vrqclnx.h"

namespace vrq::node {

constexpr int kWouldBlock = MQNODE_WOULD_BLOCK;

// "UNIX" or "WIN32": the platform text every node carries.
const char* PlatformName();
// The process's own name as the platform gives it (command name, executable file name
// without folder and extension); "" when it cannot be had.
std::string ProcessName();
// The user's login name into buffer; size is in-and-out as for GetUserName. 1 when found.
int CurrentUserName(char* buffer, int* size);

inline bool IsDatagram(const MQNode* node) { return node->Socket.iType == 2; }

inline void Trace(MQNode* node, const char* point) { RunTraceMethod(point, node); }

// Returns the input buffer to expecting a header of header_size bytes (a datagram node
// always offers its whole capacity).
inline void ResetInput(MQNode* node, int header_size) {
  ResetBuffer(&node->InBuf, IsDatagram(node) ? node->InBuf.lSize : header_size);
}

// Frees a tracked Buffer record and its bytes.
inline void DiscardBuffer(Buffer* buffer) {
  if (buffer == nullptr) return;
  DeleteBuffer(buffer);
  FreeMemory(buffer);
}

}  // namespace vrq::node
