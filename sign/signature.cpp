// Signature and key blocks, and the signed wire image of a PCF message: the MSHDRE in front
// of the MDHDR and PCF body, the latter scrambled under the 32-bit key value.
#include "vrqsign.h"

#include <cmqc.h>

#include <cstddef>
#include <cstring>

static_assert(sizeof(MSHDRE) == MSHDRE_LENGTH);
static_assert(sizeof(SgxCredentials) == 1600);
static_assert(offsetof(SgxCredentials, szUser) == 16 && offsetof(SgxCredentials, szPassword) == 273 &&
              offsetof(SgxCredentials, PasswordDigest) == 1184 &&
              offsetof(SgxCredentials, DigestInput) == 1216);

namespace {

// The key value both ends start from; signing and unscrambling must agree on it.
constexpr uint32_t kInitialKey = 0x5A3C96E1u;
constexpr const char* kSignatureTag = "signature";
constexpr const char* kKeyTag = "KeySignature";

int NewKeyBlock(uint32_t** out, const char* tag) {
  if (out == nullptr) return 0;
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(uint32_t), tag)) return 0;
  const uint32_t value = kInitialKey;
  std::memcpy(block, &value, sizeof value);
  *out = static_cast<uint32_t*>(block);
  return 1;
}

}  // namespace

extern "C" {

VRQSIGN_API int sgx_get_signature(uint32_t** signature) { return NewKeyBlock(signature, kSignatureTag); }

VRQSIGN_API int sgx_get_key(const char* /*user_id*/, uint32_t** key) { return NewKeyBlock(key, kKeyTag); }

VRQSIGN_API int sgx_release_signature(uint32_t** block) {
  if (block != nullptr) {
    FreeMemory(*block);
    *block = nullptr;
  }
  return 1;
}

VRQSIGN_API int sgx_sign(const uint32_t* signature, PcfMessage* msg, Buffer* buffer) {
  if (signature == nullptr || msg == nullptr || buffer == nullptr || msg->PcfMsg.pMdHdr == nullptr) return 0;
  const MSHDRE& ext = msg->Ext;
  const MQLONG length = ext.UserMsgLength;
  if (ext.StrucLength != MSHDRE_LENGTH || length < MDHDR_LENGTH || length > msg->PcfMsg.lMaxLength) return 0;
  if (!CreateBuffer(buffer, MSHDRE_LENGTH + length)) return 0;
  std::memcpy(buffer->pBuffer, &ext, MSHDRE_LENGTH);
  std::memcpy(buffer->pBuffer + MSHDRE_LENGTH, msg->PcfMsg.pMdHdr, static_cast<size_t>(length));
  return EncryptMsg(buffer->pBuffer + MSHDRE_LENGTH, length, *signature);
}

VRQSIGN_API int sgx_authenticate(MSHDRE* header, Buffer* payload, PcfMessage* msg) {
  if (header == nullptr || payload == nullptr || payload->pBuffer == nullptr || msg == nullptr ||
      msg->PcfMsg.pMdHdr == nullptr) {
    return 0;
  }
  const MQLONG length = header->UserMsgLength;
  if (length < 0 || length > payload->lLength || length > msg->PcfMsg.lMaxLength) return 0;
  char author[sizeof header->Author + 1] = {};
  std::memcpy(author, header->Author, sizeof header->Author);
  uint32_t* key = nullptr;
  if (!sgx_get_key(author, &key)) return 0;
  const int result = DecryptMsg(payload->pBuffer, length, *key);
  std::memcpy(msg->PcfMsg.pMdHdr, payload->pBuffer, static_cast<size_t>(length));
  msg->PcfMsg.lMsgLength = length;
  sgx_release_signature(&key);
  return result;
}

}  // extern "C"
