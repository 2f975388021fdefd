// Arbitrary byte streams through a reading MQNode. The first byte picks the form (plain or
// signed) and seeds the chunking; the rest is written into one end of a local stream pair
// in chunks of varying size, and the non-blocking node reads after every chunk until it
// would block. Whatever the bytes say, a read must end with a whole message or a refusal
// and must leave the input buffer in a consistent state.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "vrqclnx.h"

namespace {

PcfMessage* Message() {
  static PcfMessage* msg = CreatePcfMessage(40, 1, 64);
  return msg;
}

void Check(const MQNode* node) {
  const Buffer& in = node->InBuf;
  if (in.lCounter2 < 0 || in.lCounter2 > in.lLength || in.lLength > in.lSize) __builtin_trap();
}

void Drain(MQNode* node, int is_signed) {
  for (int reads = 0; reads < 64; ++reads) {
    if (!mnSRead(Message(), node, is_signed) && node->lLastError == MQNODE_WOULD_BLOCK) break;
    Check(node);
  }
  Check(node);
}

}  // namespace

// Refused messages are dumped to standard output; the fuzzer has no use for the text.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int is_signed = data[0] & 1;
  uint32_t seed = data[0] | 1u;
  ++data;
  --size;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  SocketRecord rec{};
  CreateSocketFromExisting(&rec, fds[0]);
  MQNode* node = CreateAndBindMQNode(&rec, MQNODE_MODE_CLIENT);
  if (node == nullptr) {
    close(fds[0]);
    close(fds[1]);
    return 0;
  }
  NoblockSocket(&node->Socket);
  size_t at = 0;
  while (at < size) {
    seed = seed * 1103515245u + 12345u;
    size_t chunk = 1 + (seed >> 16) % 97;
    if (chunk > size - at) chunk = size - at;
    if (write(fds[1], data + at, chunk) != static_cast<ssize_t>(chunk)) break;
    at += chunk;
    Drain(node, is_signed);
  }
  DeleteMQNode(node);
  close(fds[1]);
  return 0;
}
