// AES (FIPS-197) for 128-, 192- and 256-bit keys: the context set-up, the key schedule,
// the byte-wise round functions with Cipher/InvCipher working on one context block, and
// the ECB entry points aes_encrypt/aes_decrypt, which expand the key once per call and run
// the fast block path (AES-NI where the processor has it, the round tables otherwise).
#include <cstring>

#include "aes_fast.h"
#include "aes_tables.h"
#include "vrqcrypt.h"

namespace vrqcrypt {
namespace {

using State = uint8_t[4][4];

void AddRoundKey(State& state, const uint8_t* round_key) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) state[r][c] ^= round_key[4 * c + r];
}

void SubBytes(State& state) {
  for (auto& row : state)
    for (auto& b : row) b = kSbox[b];
}

void InvSubBytes(State& state) {
  for (auto& row : state)
    for (auto& b : row) b = kInvSbox[b];
}

// Row r moves r places to the left (ShiftRows) or to the right (InvShiftRows).
void RotateRows(State& state, bool left) {
  for (int r = 1; r < 4; ++r) {
    uint8_t row[4];
    for (int c = 0; c < 4; ++c) row[c] = state[r][left ? (c + r) % 4 : (c + 4 - r) % 4];
    std::memcpy(state[r], row, 4);
  }
}

void ShiftRows(State& state) { RotateRows(state, true); }
void InvShiftRows(State& state) { RotateRows(state, false); }

// Multiplies every column by the circulant matrix whose first row is m.
void MixWith(State& state, const uint8_t (&m)[4]) {
  for (int c = 0; c < 4; ++c) {
    uint8_t col[4];
    for (int r = 0; r < 4; ++r) col[r] = state[r][c];
    for (int r = 0; r < 4; ++r) {
      uint8_t v = 0;
      for (int k = 0; k < 4; ++k) v ^= GfMul(col[k], m[(k + 4 - r) % 4]);
      state[r][c] = v;
    }
  }
}

void MixColumns(State& state) { MixWith(state, {2, 3, 1, 1}); }
void InvMixColumns(State& state) { MixWith(state, {14, 11, 13, 9}); }

void LoadState(AESCONTEXT* ctx) {
  for (int i = 0; i < 16; ++i) ctx->state[i % 4][i / 4] = ctx->in[i];
}

void StoreState(AESCONTEXT* ctx) {
  for (int i = 0; i < 16; ++i) ctx->out[i] = ctx->state[i % 4][i / 4];
}

// A context whose shape InitData did not set would run the rounds past RoundKey.
bool HasValidShape(const AESCONTEXT* ctx) {
  return (ctx->Nk == 4 || ctx->Nk == 6 || ctx->Nk == 8) && ctx->Nr == ctx->Nk + 6;
}

using BlockPath = void (*)(const uint8_t*, uint32_t, const uint8_t*, size_t, uint8_t*);

void RunEcb(const uint8_t* key, uint32_t key_length, const uint8_t* input, uint32_t length,
            uint8_t* output, BlockPath fast, BlockPath portable) {
  if (key == nullptr || input == nullptr || output == nullptr || length % 16 != 0) return;
  AESCONTEXT ctx;
  if (InitData(&ctx, key, key_length) == 0) return;
  KeyExpansion(&ctx);
  (AesNiAvailable() ? fast : portable)(ctx.RoundKey, ctx.Nr, input, length / 16, output);
  std::memset(&ctx, 0, sizeof ctx);
}

}  // namespace
}  // namespace vrqcrypt

using namespace vrqcrypt;

extern "C" int InitData(AESCONTEXT* context, const uint8_t* key, uint32_t key_length) {
  if (context == nullptr || key == nullptr) return 0;
  if (key_length != 16 && key_length != 24 && key_length != 32) return 0;
  context->Nk = key_length / 4;
  context->Nr = context->Nk + 6;
  std::memset(context->Key, 0, sizeof context->Key);
  std::memcpy(context->Key, key, key_length);
  return 1;
}

extern "C" void KeyExpansion(AESCONTEXT* context) {
  if (context == nullptr || !HasValidShape(context)) return;
  const uint32_t nk = context->Nk;
  const uint32_t words = 4 * (context->Nr + 1);
  uint8_t* w = context->RoundKey;
  std::memcpy(w, context->Key, 4 * nk);
  for (uint32_t i = nk; i < words; ++i) {
    uint8_t t[4];
    std::memcpy(t, w + 4 * (i - 1), 4);
    if (i % nk == 0) {
      const uint8_t first = t[0];
      t[0] = static_cast<uint8_t>(kSbox[t[1]] ^ kRcon[i / nk]);
      t[1] = kSbox[t[2]];
      t[2] = kSbox[t[3]];
      t[3] = kSbox[first];
    } else if (nk > 6 && i % nk == 4) {
      for (auto& b : t) b = kSbox[b];
    }
    for (int k = 0; k < 4; ++k) w[4 * i + k] = static_cast<uint8_t>(w[4 * (i - nk) + k] ^ t[k]);
  }
}

extern "C" void Cipher(AESCONTEXT* context) {
  if (context == nullptr || !HasValidShape(context)) return;
  State& state = context->state;
  LoadState(context);
  AddRoundKey(state, context->RoundKey);
  for (uint32_t round = 1; round < context->Nr; ++round) {
    SubBytes(state);
    ShiftRows(state);
    MixColumns(state);
    AddRoundKey(state, context->RoundKey + 16 * round);
  }
  SubBytes(state);
  ShiftRows(state);
  AddRoundKey(state, context->RoundKey + 16 * context->Nr);
  StoreState(context);
}

extern "C" void InvCipher(AESCONTEXT* context) {
  if (context == nullptr || !HasValidShape(context)) return;
  State& state = context->state;
  LoadState(context);
  AddRoundKey(state, context->RoundKey + 16 * context->Nr);
  for (uint32_t round = context->Nr - 1; round > 0; --round) {
    InvShiftRows(state);
    InvSubBytes(state);
    AddRoundKey(state, context->RoundKey + 16 * round);
    InvMixColumns(state);
  }
  InvShiftRows(state);
  InvSubBytes(state);
  AddRoundKey(state, context->RoundKey);
  StoreState(context);
}

extern "C" void aes_encrypt(const uint8_t* key, uint32_t key_length, const uint8_t* input,
                            uint32_t length, uint8_t* output) {
  RunEcb(key, key_length, input, length, output, AesNiEncrypt, TableEncrypt);
}

extern "C" void aes_decrypt(const uint8_t* key, uint32_t key_length, const uint8_t* input,
                            uint32_t length, uint8_t* output) {
  RunEcb(key, key_length, input, length, output, AesNiDecrypt, TableDecrypt);
}
