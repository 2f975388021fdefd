// Throughput of vrqcrypt's AES-128/256 ECB (the run-time choice and the portable table
// path), MD5 and base64 beside OpenSSL's libcrypto on the same inputs (16 KiB and 1 MiB),
// in one run so the figures compare directly.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <vector>

#include "../../crypt/aes_table.cpp"
#include "vrqcrypt.h"

namespace {

std::vector<uint8_t> Input(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

const uint8_t kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                          17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

void Ours_AesEncrypt(benchmark::State& state, uint32_t key_length) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    aes_encrypt(kKey, key_length, in.data(), static_cast<uint32_t>(in.size()), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Ours_AesDecrypt(benchmark::State& state, uint32_t key_length) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    aes_decrypt(kKey, key_length, in.data(), static_cast<uint32_t>(in.size()), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The portable round-table path on its own, as used where the processor lacks AES-NI.
void Ours_AesTable(benchmark::State& state, uint32_t key_length, bool encrypt) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    AESCONTEXT ctx;
    InitData(&ctx, kKey, key_length);
    KeyExpansion(&ctx);
    (encrypt ? vrqcrypt::TableEncrypt : vrqcrypt::TableDecrypt)(ctx.RoundKey, ctx.Nr, in.data(),
                                                                in.size() / 16, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OpenSsl_Aes(benchmark::State& state, const EVP_CIPHER* cipher, int encrypt) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(in.size());
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    int n = 0;
    EVP_CipherInit_ex(ctx, cipher, nullptr, kKey, nullptr, encrypt);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size()));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Ours_Md5(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  uint8_t digest[16];
  for (auto _ : state) {
    md5_encrypt(in.data(), in.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OpenSsl_Md5(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  uint8_t digest[16];
  for (auto _ : state) {
    EVP_Digest(in.data(), in.size(), digest, nullptr, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Ours_B64Encode(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    char* text = b64encode(in.data(), in.size());
    benchmark::DoNotOptimize(text);
    std::free(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// OpenSSL's line-breaking encoder (64-character lines) into a fresh buffer each time.
void OpenSsl_B64Encode(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
  for (auto _ : state) {
    auto* text = static_cast<uint8_t*>(std::malloc(in.size() / 48 * 65 + 130));
    int n = 0, m = 0;
    EVP_EncodeInit(ctx);
    EVP_EncodeUpdate(ctx, text, &n, in.data(), static_cast<int>(in.size()));
    EVP_EncodeFinal(ctx, text + n, &m);
    benchmark::DoNotOptimize(text);
    std::free(text);
  }
  EVP_ENCODE_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Decoding figures count the decoded bytes, so they compare with the encoders'.
void Ours_B64Decode(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  char* text = b64encode(in.data(), in.size());
  for (auto _ : state) {
    uint8_t* out = nullptr;
    size_t n = 0;
    b64decode(text, &out, &n);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  std::free(text);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OpenSsl_B64Decode(benchmark::State& state) {
  const auto in = Input(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> text(in.size() / 48 * 65 + 130);
  EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
  int n = 0, m = 0;
  EVP_EncodeInit(ctx);
  EVP_EncodeUpdate(ctx, text.data(), &n, in.data(), static_cast<int>(in.size()));
  EVP_EncodeFinal(ctx, text.data() + n, &m);
  const int text_length = n + m;
  for (auto _ : state) {
    auto* out = static_cast<uint8_t*>(std::malloc(in.size() + 16));
    int k = 0, l = 0;
    EVP_DecodeInit(ctx);
    EVP_DecodeUpdate(ctx, out, &k, text.data(), text_length);
    EVP_DecodeFinal(ctx, out + k, &l);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  EVP_ENCODE_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

#define SIZES ->Arg(16 << 10)->Arg(1 << 20)
BENCHMARK_CAPTURE(Ours_AesEncrypt, aes128, 16u) SIZES;
BENCHMARK_CAPTURE(OpenSsl_Aes, aes128_encrypt, EVP_aes_128_ecb(), 1) SIZES;
BENCHMARK_CAPTURE(Ours_AesDecrypt, aes128, 16u) SIZES;
BENCHMARK_CAPTURE(OpenSsl_Aes, aes128_decrypt, EVP_aes_128_ecb(), 0) SIZES;
BENCHMARK_CAPTURE(Ours_AesTable, aes128_encrypt, 16u, true) SIZES;
BENCHMARK_CAPTURE(Ours_AesTable, aes128_decrypt, 16u, false) SIZES;
BENCHMARK_CAPTURE(Ours_AesEncrypt, aes256, 32u) SIZES;
BENCHMARK_CAPTURE(OpenSsl_Aes, aes256_encrypt, EVP_aes_256_ecb(), 1) SIZES;
BENCHMARK_CAPTURE(Ours_AesDecrypt, aes256, 32u) SIZES;
BENCHMARK_CAPTURE(OpenSsl_Aes, aes256_decrypt, EVP_aes_256_ecb(), 0) SIZES;
BENCHMARK_CAPTURE(Ours_AesTable, aes256_encrypt, 32u, true) SIZES;
BENCHMARK_CAPTURE(Ours_AesTable, aes256_decrypt, 32u, false) SIZES;
BENCHMARK(Ours_Md5) SIZES;
BENCHMARK(OpenSsl_Md5) SIZES;
BENCHMARK(Ours_B64Encode) SIZES;
BENCHMARK(OpenSsl_B64Encode) SIZES;
BENCHMARK(Ours_B64Decode) SIZES;
BENCHMARK(OpenSsl_B64Decode) SIZES;

}  // namespace

BENCHMARK_MAIN();
