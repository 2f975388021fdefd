// Fuzzes the reply alteration with arbitrary request data in a buffer of exactly the
// program's size, so that any read or write outside it is caught; the reply length must
// stay within the buffer's data part.
#include <cmqc.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> buffer(kBufferSize, 0);
  const size_t used = size < static_cast<size_t>(kMaxData) ? size : static_cast<size_t>(kMaxData);
  std::memcpy(buffer.data(), data, used);
  const MQLONG reply = AlterReply(buffer.data(), static_cast<MQLONG>(size), 12345);
  if (reply < 0 || reply > kMaxData) std::abort();
  if (buffer[kMaxData] != 0) std::abort();
  return 0;
}
