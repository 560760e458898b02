#pragma once
// What a set of repeated measurements says: the median that is reported and the
// extremes that show how far to trust it.

#include <vector>

namespace corvalis {

struct SampleStats {
  double median = 0.0;  // the middle sample; the mean of the two middle ones for an even count
  double min = 0.0;
  double max = 0.0;
  bool failed = false;  // a sample is missing or not a finite number: median, min, max are NaN
};

// The median and extremes of the samples. A failed sample fails the whole set, so a
// median of fewer samples is never passed off as one of all of them.
SampleStats summarizeSamples(const std::vector<double>& samples);

// The median of a set of values and the interval that holds the true median with about
// 95 % confidence: the order statistics n/2 - 0.98 sqrt(n) places either side of it. It
// assumes nothing of the values' distribution, so a few slices hit by load widen it
// little. NaN throughout for an empty set or one holding a value that is not finite.
struct MedianInterval {
  double median = 0.0;
  double low = 0.0;
  double high = 0.0;
};
MedianInterval medianInterval(std::vector<double> values);

// A value's 95 % interval is narrow when its width is at most this fraction of its
// median: a change of 10 % then stands out of it.
constexpr double NarrowIntervalWidth = 0.10;
// True for two or more finite samples whose median interval is narrow.
bool narrowInterval(const std::vector<double>& samples);

// max / min: 1 for identical samples; NaN when the set failed or min is not positive.
double spreadOf(const SampleStats& stats);

// The two-sided p-value of Student's t test that the values' mean is 0: how often values
// as far from 0 as these would come out by chance if their true mean were 0. 0 when the
// values all equal one number other than 0, 1 when all are 0; NaN for fewer than two
// values or one that is not finite.
double meanZeroPValue(const std::vector<double>& values);

// Which of a family of p-values stand out at false discovery rate 'rate' (Benjamini and
// Hochberg): sorted, the k smallest where the k-th is at most k / m * rate, m counting
// the finite ones. When no value of the family truly differs, the chance that any is
// picked is at most 'rate', however many there are. A NaN p-value is never picked.
std::vector<bool> falseDiscoveryPicks(const std::vector<double>& pValues, double rate);

}  // namespace corvalis
