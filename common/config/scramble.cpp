// Reversible scrambling of a message body under a 32-bit key, used by the signing
// library: each byte has its halves exchanged and is then combined with the four key
// bytes in memory order. Needs only byte_order.cpp; the reply utility compiles its own
// copy of both.
#include "vrqapi.h"

#include <array>
#include <cstring>

namespace {

std::array<uint8_t, 4> KeyBytes(uint32_t key) {
  std::array<uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &key, bytes.size());
  return bytes;
}

}  // namespace

extern "C" {

VRQAPI_API int EncryptMsg(void* pData, int lLength, uint32_t ulKey) {
  if (lLength < 0 || (pData == nullptr && lLength > 0)) return 0;
  const auto key = KeyBytes(ulKey);
  auto* data = static_cast<uint8_t*>(pData);
  for (int i = 0; i < lLength; ++i) {
    uint8_t b = bwbyte(data[i]);
    for (uint8_t k : key) b ^= k;
    data[i] = b;
  }
  return 1;
}

VRQAPI_API int DecryptMsg(void* pData, int lLength, uint32_t ulKey) {
  if (lLength < 0 || (pData == nullptr && lLength > 0)) return 0;
  const auto key = KeyBytes(ulKey);
  auto* data = static_cast<uint8_t*>(pData);
  for (int i = 0; i < lLength; ++i) {
    uint8_t b = data[i];
    for (int k = 3; k >= 0; --k) b ^= key[static_cast<size_t>(k)];
    data[i] = bwbyte(b);
  }
  return 1;
}

VRQAPI_API uint32_t DecryptLong(uint32_t ulValue, uint32_t ulKey) {
  DecryptMsg(&ulValue, sizeof ulValue, ulKey);
  return ulValue;
}

}  // extern "C"
