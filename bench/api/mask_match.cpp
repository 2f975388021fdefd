// The expression match against the C library's fnmatch on the same patterns: a typical
// queue-name pattern and a pathological one that forces repeated backtracking.
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <vrqapi.h>

#include <string>

namespace {

struct Case {
  std::string pattern;
  std::string name;
};

Case Typical() { return {"SYSTEM.*.[A-M]*.QUEUE", "SYSTEM.ADMIN.COMMAND.QUEUE"}; }

Case Pathological() {
  std::string pattern;
  for (int i = 0; i < 8; ++i) pattern += "*a";
  return {pattern + "b", std::string(64, 'a')};
}

void BM_IsRegExpMatch(benchmark::State& state, Case c) {
  for (auto _ : state) benchmark::DoNotOptimize(IsRegExpMatch(c.pattern.c_str(), c.name.c_str(), 0));
}

void BM_Fnmatch(benchmark::State& state, Case c) {
  for (auto _ : state) benchmark::DoNotOptimize(fnmatch(c.pattern.c_str(), c.name.c_str(), 0));
}

void BM_IsMaskMatch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(IsMaskMatch("SYSTEM.*QUEUE", "SYSTEM.ADMIN.COMMAND.QUEUE"));
}

void BM_IsPermitMaskMatch(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(IsPermitMaskMatch("UserAuthority:QM*:SYSTEM.*\\user?", "UserAuthority:QM1:SYSTEM.ADMIN\\userA"));
}

}  // namespace

BENCHMARK_CAPTURE(BM_IsRegExpMatch, typical, Typical());
BENCHMARK_CAPTURE(BM_Fnmatch, typical, Typical());
BENCHMARK_CAPTURE(BM_IsRegExpMatch, pathological, Pathological());
BENCHMARK_CAPTURE(BM_Fnmatch, pathological, Pathological());
BENCHMARK(BM_IsMaskMatch);
BENCHMARK(BM_IsPermitMaskMatch);
BENCHMARK_MAIN();
