// The round-trip histogram against exact figures computed from the same samples: its
// percentiles within the stated relative error (and never below the exact value) on
// random samples of several shapes, exact answers for small values, and its edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "ping_histogram.h"

namespace {

// The value of rank ceil(permille / 1000 * n) among the sorted samples, in whole numbers.
int64_t ExactPercentile(std::vector<int64_t> sorted, int permille) {
  std::sort(sorted.begin(), sorted.end());
  auto n = static_cast<int64_t>(sorted.size());
  int64_t rank = (permille * n + 999) / 1000;
  rank = std::clamp<int64_t>(rank, 1, n);
  return sorted[static_cast<size_t>(rank - 1)];
}

void ExpectWithinError(const LatencyHistogram& h, const std::vector<int64_t>& samples, const char* shape) {
  // Three significant digits: no step wider than a thousandth of its values.
  ASSERT_LE(h.RelativeError(), 0.001);
  for (int permille : {1, 100, 500, 900, 990, 999, 1000}) {
    int64_t exact = ExactPercentile(samples, permille);
    int64_t got = h.ValueAtPercentile(permille / 10.0);
    EXPECT_GE(got, exact) << shape << " p" << permille / 10.0;
    EXPECT_LE(static_cast<double>(got - exact), static_cast<double>(exact) * h.RelativeError())
        << shape << " p" << permille / 10.0 << " exact " << exact << " got " << got;
  }
}

TEST(LatencyHistogram, PercentilesWithinTheStatedErrorOnRandomSamples) {
  std::mt19937_64 rng(20261208);
  struct Shape {
    const char* name;
    std::function<int64_t()> draw;
    size_t count;
  };
  std::lognormal_distribution<double> lognormal(4.0, 1.5);
  std::uniform_int_distribution<int64_t> wide(0, int64_t{1} << 34);
  std::normal_distribution<double> narrow(5e8, 3e3);
  std::exponential_distribution<double> tail(1.0 / 2000.0);
  const Shape shapes[] = {
      {"lognormal", [&] { return static_cast<int64_t>(lognormal(rng)); }, 100000},
      {"uniform over 2^34", [&] { return wide(rng); }, 50000},
      {"narrow far from zero", [&] { return static_cast<int64_t>(narrow(rng)); }, 20000},
      {"exponential", [&] { return static_cast<int64_t>(tail(rng)); }, 1000},
      {"three values", [&] { return int64_t{1000} + static_cast<int64_t>(rng() % 3) * 4096; }, 7},
  };
  for (const auto& shape : shapes) {
    LatencyHistogram h;
    std::vector<int64_t> samples;
    for (size_t i = 0; i < shape.count; ++i) {
      samples.push_back(shape.draw());
      h.Record(samples.back());
    }
    ASSERT_EQ(h.Count(), static_cast<int64_t>(samples.size()));
    EXPECT_EQ(h.Min(), *std::min_element(samples.begin(), samples.end())) << shape.name;
    EXPECT_EQ(h.Max(), *std::max_element(samples.begin(), samples.end())) << shape.name;
    ExpectWithinError(h, samples, shape.name);
  }
}

TEST(LatencyHistogram, SmallValuesAreExact) {
  // Every millisecond below 2048 has a bucket of its own.
  LatencyHistogram h;
  for (int64_t v = 0; v < 2048; ++v) h.Record(v);
  for (int permille = 1; permille <= 1000; permille += 37) {
    std::vector<int64_t> all(2048);
    for (int64_t v = 0; v < 2048; ++v) all[static_cast<size_t>(v)] = v;
    EXPECT_EQ(h.ValueAtPercentile(permille / 10.0), ExactPercentile(all, permille)) << permille;
  }
  // 99.9 % of 1000 values is the 999th, not the 1000th.
  LatencyHistogram thousand;
  for (int64_t v = 1; v <= 1000; ++v) thousand.Record(v);
  EXPECT_EQ(thousand.ValueAtPercentile(99.9), 999);
  EXPECT_EQ(thousand.ValueAtPercentile(50), 500);
  EXPECT_EQ(thousand.ValueAtPercentile(100), 1000);
  EXPECT_EQ(thousand.ValueAtPercentile(0), 1);
}

TEST(LatencyHistogram, EdgesOfTheRange) {
  LatencyHistogram empty;
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(empty.ValueAtPercentile(50), 0);
  EXPECT_EQ(empty.Max(), 0);
  EXPECT_EQ(empty.Mean(), 0.0);
  EXPECT_EQ(empty.StdDev(), 0.0);

  // Out-of-range values are clamped, not written past the counters (ASan would see it).
  LatencyHistogram h(100000, 3);
  h.Record(-5);
  h.Record(std::numeric_limits<int64_t>::max());
  h.Record(100000);
  EXPECT_EQ(h.Count(), 3);
  EXPECT_EQ(h.Min(), 0);
  EXPECT_EQ(h.Max(), 100000);
  EXPECT_EQ(h.ValueAtPercentile(100), 100000);
  EXPECT_EQ(h.ValueAtPercentile(1), 0);
  // A percentile outside 0..100 is taken at the nearer end.
  EXPECT_EQ(h.ValueAtPercentile(250), 100000);
  EXPECT_EQ(h.ValueAtPercentile(-3), 0);

  LatencyHistogram full;
  full.Record(LatencyHistogram::kDefaultHighest);
  EXPECT_EQ(full.ValueAtPercentile(50), LatencyHistogram::kDefaultHighest);

  h.Reset();
  EXPECT_EQ(h.Count(), 0);
  h.Record(42);
  EXPECT_EQ(h.Min(), 42);
  EXPECT_EQ(h.ValueAtPercentile(50), 42);
  EXPECT_EQ(h.Mean(), 42.0);
}

TEST(LatencyHistogram, MeanAndDeviationAreExact) {
  // Far from zero and narrow: a plain sum of squares would lose every digit here.
  std::mt19937_64 rng(99);
  std::uniform_int_distribution<int64_t> jitter(-50, 50);
  LatencyHistogram h;
  std::vector<int64_t> samples;
  for (int i = 0; i < 100000; ++i) {
    samples.push_back(int64_t{30000000000} + jitter(rng));
    h.Record(samples.back());
  }
  long double mean = 0;
  for (int64_t v : samples) mean += static_cast<long double>(v);
  mean /= samples.size();
  long double var = 0;
  for (int64_t v : samples) var += (v - mean) * (v - mean);
  var /= samples.size();
  EXPECT_NEAR(h.Mean(), static_cast<double>(mean), 1e-3);
  EXPECT_NEAR(h.StdDev(), std::sqrt(static_cast<double>(var)), 1e-6 * std::sqrt(static_cast<double>(var)));
  EXPECT_NEAR(h.Sum(), static_cast<double>(mean * samples.size()), 1.0);

  LatencyHistogram same;
  for (int i = 0; i < 10; ++i) same.Record(7);
  EXPECT_EQ(same.StdDev(), 0.0);
}

}  // namespace
