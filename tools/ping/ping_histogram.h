// The latency distribution of one ping cycle: a log-linear histogram of fixed size (set
// by its range and precision, never by the number of values recorded) that answers
// percentiles to a stated relative error, plus the exact minimum, maximum, mean and
// standard deviation of what it recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LatencyHistogram {
 public:
  // Values are whole units (the ping records milliseconds) from 0 to highest; larger
  // values are recorded as highest. digits (1 to 5) is the number of significant decimal
  // digits every bucket keeps apart.
  explicit LatencyHistogram(int64_t highest = kDefaultHighest, int digits = 3);

  // Counts one value; a negative one as 0.
  void Record(int64_t value) {
    if (value < 0) value = 0;
    if (value > highest_) value = highest_;
    ++counts_[static_cast<std::size_t>(IndexOf(value))];
    if (count_ == 0) {
      shift_ = value;
      min_ = max_ = value;
    }
    if (value < min_) min_ = value;
    if (value > max_) max_ = value;
    ++count_;
    // Sums taken about the first value keep the variance exact for narrow distributions
    // far from zero.
    double d = static_cast<double>(value - shift_);
    sum_ += d;
    sum_squares_ += d * d;
  }

  void Reset();

  int64_t Count() const { return count_; }
  int64_t Min() const { return count_ ? min_ : 0; }
  int64_t Max() const { return count_ ? max_ : 0; }
  // Sum of the recorded values (after clamping).
  double Sum() const { return static_cast<double>(shift_) * static_cast<double>(count_) + sum_; }
  double Mean() const;
  // Standard deviation of the recorded values (of the whole population, divided by the count).
  double StdDev() const;
  // The value below or at which percentile percent of the recorded values lie, as the
  // largest value of its bucket but never above the maximum: at most RelativeError()
  // times the exact percentile above it, never below it. 0 when nothing was recorded.
  int64_t ValueAtPercentile(double percentile) const;

  // Width of a bucket relative to the smallest value in it, at most: 1 / 2^k with 2^k the
  // first power of two at or above 10^digits.
  double RelativeError() const;
  // Number of buckets kept (the histogram's memory is this many 64-bit counters).
  std::size_t BucketCount() const { return counts_.size(); }
  // The largest value kept apart.
  int64_t Highest() const { return highest_; }

  // About 2.2 years in milliseconds.
  static constexpr int64_t kDefaultHighest = (int64_t{1} << 36) - 1;

 private:
  int BucketOf(int64_t value) const {
    // Position of the highest set bit, with every value below the first bucket's end
    // counted in bucket 0.
    uint64_t v = static_cast<uint64_t>(value) | sub_bucket_mask_;
    int top = 63 - CountLeadingZeros(v);
    return top - half_magnitude_;
  }
  int64_t IndexOf(int64_t value) const {
    int bucket = BucketOf(value);
    int64_t sub = value >> bucket;
    return (static_cast<int64_t>(bucket) << half_magnitude_) + sub;
  }
  static int CountLeadingZeros(uint64_t v) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_clzll(v);
#else
    int n = 0;
    for (uint64_t bit = uint64_t{1} << 63; bit && !(v & bit); bit >>= 1) ++n;
    return n;
#endif
  }
  int64_t LowestOf(std::size_t index) const;
  int64_t HighestOf(std::size_t index) const;

  int64_t highest_;
  int half_magnitude_ = 0;       // log2 of half the number of sub-buckets
  uint64_t sub_bucket_mask_ = 0; // number of sub-buckets less 1
  std::vector<uint64_t> counts_;
  int64_t count_ = 0;
  int64_t min_ = 0, max_ = 0, shift_ = 0;
  double sum_ = 0, sum_squares_ = 0;
};
