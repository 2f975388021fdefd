// Reversible scrambling of a message body under a 32-bit key, used by the signing
// library: each byte has its halves exchanged and is then combined with the four key
// bytes in memory order. The reply utility compiles its own copy.
#include "vrqapi.h"

#include <array>
#include <cstring>

namespace {

// Combining a byte with the four key bytes one after another is the same as combining it
// with their exclusive or once, which lets the loops below run without a call per byte.
uint8_t FoldedKey(uint32_t key) {
  std::array<uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &key, bytes.size());
  return static_cast<uint8_t>(bytes[0] ^ bytes[1] ^ bytes[2] ^ bytes[3]);
}

constexpr uint8_t SwapHalves(uint8_t b) { return static_cast<uint8_t>((b << 4) | (b >> 4)); }

}  // namespace

extern "C" {

VRQAPI_API int EncryptMsg(void* pData, int lLength, uint32_t ulKey) {
  if (lLength < 0 || (pData == nullptr && lLength > 0)) return 0;
  const uint8_t key = FoldedKey(ulKey);
  auto* data = static_cast<uint8_t*>(pData);
  for (int i = 0; i < lLength; ++i) data[i] = static_cast<uint8_t>(SwapHalves(data[i]) ^ key);
  return 1;
}

VRQAPI_API int DecryptMsg(void* pData, int lLength, uint32_t ulKey) {
  if (lLength < 0 || (pData == nullptr && lLength > 0)) return 0;
  const uint8_t key = FoldedKey(ulKey);
  auto* data = static_cast<uint8_t*>(pData);
  for (int i = 0; i < lLength; ++i) data[i] = SwapHalves(static_cast<uint8_t>(data[i] ^ key));
  return 1;
}

VRQAPI_API uint32_t DecryptLong(uint32_t ulValue, uint32_t ulKey) {
  DecryptMsg(&ulValue, sizeof ulValue, ulKey);
  return ulValue;
}

}  // extern "C"
