// Byte order of the local machine and byte reversal of 8-, 16-, 32- and 64-bit values,
// used when a message arrives from a machine of the other byte order. Stands alone (no
// other vrqapi code): the reply utility compiles its own copy.
#include "vrqapi.h"

#include <cstring>

extern "C" {

VRQAPI_API int IsLtEndian(void) {
  const uint32_t probe = 1;
  unsigned char first = 0;
  std::memcpy(&first, &probe, 1);
  return first == 1 ? 1 : 0;
}

VRQAPI_API int IsBgEndian(void) { return IsLtEndian() ? 0 : 1; }

VRQAPI_API uint8_t bwbyte(uint8_t b) { return static_cast<uint8_t>((b << 4) | (b >> 4)); }

VRQAPI_API uint16_t bwshort(uint16_t v) { return static_cast<uint16_t>((v << 8) | (v >> 8)); }

VRQAPI_API uint32_t bwlong(uint32_t v) {
  return (v << 24) | ((v << 8) & 0x00FF0000u) | ((v >> 8) & 0x0000FF00u) | (v >> 24);
}

VRQAPI_API uint64_t bwint64(uint64_t v) {
  return (static_cast<uint64_t>(bwlong(static_cast<uint32_t>(v))) << 32) |
         bwlong(static_cast<uint32_t>(v >> 32));
}

}  // extern "C"
