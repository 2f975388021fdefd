// Bucket layout: with 2^m sub-buckets (the first power of two at or above 2 * 10^digits),
// bucket 0 holds every value below 2^m one by one; bucket b >= 1 holds the values from
// 2^(m-1+b) to 2^(m+b) - 1 in 2^(m-1) steps of 2^b each. A value's index is found with
// one leading-zero count and two shifts, and no bucket is wider than 1 / 2^(m-1) of the
// smallest value in it.
#include "ping_histogram.h"

#include <algorithm>
#include <cmath>

LatencyHistogram::LatencyHistogram(int64_t highest, int digits)
    : highest_(std::max<int64_t>(highest, 1)) {
  digits = std::clamp(digits, 1, 5);
  int64_t needed = 2;
  for (int i = 0; i < digits; ++i) needed *= 10;
  int magnitude = 0;
  while ((int64_t{1} << magnitude) < needed) ++magnitude;
  half_magnitude_ = magnitude - 1;
  sub_bucket_mask_ = (uint64_t{1} << magnitude) - 1;
  counts_.assign(static_cast<std::size_t>(IndexOf(highest_) + 1), 0);
}

void LatencyHistogram::Reset() {
  std::fill(counts_.begin(), counts_.end(), 0);
  count_ = 0;
  min_ = max_ = shift_ = 0;
  sum_ = sum_squares_ = 0;
}

double LatencyHistogram::Mean() const {
  if (count_ == 0) return 0;
  return static_cast<double>(shift_) + sum_ / static_cast<double>(count_);
}

double LatencyHistogram::StdDev() const {
  if (count_ == 0) return 0;
  double n = static_cast<double>(count_);
  double variance = (sum_squares_ - sum_ * sum_ / n) / n;
  return variance > 0 ? std::sqrt(variance) : 0.0;
}

int64_t LatencyHistogram::LowestOf(std::size_t index) const {
  int64_t half = int64_t{1} << half_magnitude_;
  auto i = static_cast<int64_t>(index);
  if (i < 2 * half) return i;
  int64_t bucket = i / half - 1;
  return (i - bucket * half) << bucket;
}

int64_t LatencyHistogram::HighestOf(std::size_t index) const {
  int64_t half = int64_t{1} << half_magnitude_;
  auto i = static_cast<int64_t>(index);
  if (i < 2 * half) return i;
  int64_t bucket = i / half - 1;
  return LowestOf(index) + (int64_t{1} << bucket) - 1;
}

int64_t LatencyHistogram::ValueAtPercentile(double percentile) const {
  if (count_ == 0) return 0;
  percentile = std::clamp(percentile, 0.0, 100.0);
  // The rank of the wanted value among the sorted values, 1 to count; a product that
  // only misses a whole number by rounding (99.9 % of 1000) is taken as that number.
  double exact = percentile / 100.0 * static_cast<double>(count_);
  double nearest = std::round(exact);
  double rank = std::fabs(exact - nearest) <= 1e-9 * std::max(1.0, exact) ? nearest : std::ceil(exact);
  auto wanted = std::clamp<int64_t>(static_cast<int64_t>(rank), 1, count_);
  int64_t seen = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += static_cast<int64_t>(counts_[i]);
    if (seen >= wanted) return std::min(HighestOf(i), max_);
  }
  return max_;
}

double LatencyHistogram::RelativeError() const {
  return 1.0 / static_cast<double>(int64_t{1} << half_magnitude_);
}
