// The cost of recording one response's round trip in the latency histogram, beside the
// cheapest way to keep every round trip instead: a push onto a std::vector (whose memory
// grows with the batch where the histogram's does not). The values are drawn beforehand
// from a spread of latencies, so both sides pay the same for them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "ping_histogram.h"

namespace {

const std::vector<int64_t>& RoundTrips() {
  static const std::vector<int64_t> values = [] {
    std::mt19937_64 rng(1);
    std::lognormal_distribution<double> latency(3.0, 1.2);  // milliseconds, median about 20
    std::vector<int64_t> v(1 << 16);
    for (auto& x : v) x = static_cast<int64_t>(latency(rng));
    return v;
  }();
  return values;
}

void BM_HistogramRecord(benchmark::State& state) {
  const auto& values = RoundTrips();
  LatencyHistogram h;
  size_t i = 0;
  for (auto _ : state) {
    h.Record(values[i++ & (values.size() - 1)]);
  }
  benchmark::DoNotOptimize(h.Count());
  state.SetItemsProcessed(state.iterations());
}

void BM_VectorPushBack(benchmark::State& state) {
  const auto& values = RoundTrips();
  std::vector<int64_t> kept;
  size_t i = 0;
  for (auto _ : state) {
    kept.push_back(values[i++ & (values.size() - 1)]);
    benchmark::DoNotOptimize(kept.data());
  }
  state.SetItemsProcessed(state.iterations());
}

// The percentiles of a cycle, read once after it: a walk over the histogram's counters.
void BM_HistogramPercentiles(benchmark::State& state) {
  LatencyHistogram h;
  for (int64_t v : RoundTrips()) h.Record(v);
  for (auto _ : state) {
    benchmark::DoNotOptimize(h.ValueAtPercentile(50));
    benchmark::DoNotOptimize(h.ValueAtPercentile(99.9));
  }
}

}  // namespace

BENCHMARK(BM_HistogramRecord);
BENCHMARK(BM_VectorPushBack);
BENCHMARK(BM_HistogramPercentiles);
BENCHMARK_MAIN();
