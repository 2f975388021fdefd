// The cost of the web endpoint's basic-authentication check at bcrypt cost 10 (a usual
// choice; mkpasswd -R and htpasswd -C set it): a scrape whose credentials were checked before,
// answered from the remembered keyed hash, beside one with a wrong password, which pays for
// bcrypt every time (as every scrape would without the memory).
#include <benchmark/benchmark.h>
#include <crypt.h>

#include <string>

#include "ping_web_config.h"

namespace {

const char* kHeader = "Basic cHJvbWV0aGV1czpzM2NyZXQ=";        // prometheus:s3cret
const char* kWrongHeader = "Basic cHJvbWV0aGV1czpzM2NyZXU=";   // prometheus:s3creu

WebBasicAuth& Auth() {
  static WebBasicAuth auth([] {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    crypt_data data{};
    crypt_gensalt_rn("$2b$", 10, nullptr, 0, setting, sizeof setting);
    return std::map<std::string, std::string>{{"prometheus", crypt_rn("s3cret", setting, &data, sizeof data)}};
  }());
  return auth;
}

void BM_CheckRemembered(benchmark::State& state) {
  if (!Auth().Check(kHeader)) state.SkipWithError("the right password was refused");
  for (auto _ : state) benchmark::DoNotOptimize(Auth().Check(kHeader));
}
BENCHMARK(BM_CheckRemembered);

void BM_CheckWrongPassword(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Auth().Check(kWrongHeader));
}
BENCHMARK(BM_CheckWrongPassword)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
