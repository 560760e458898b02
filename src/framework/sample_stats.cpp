#include "framework/sample_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvalis {

SampleStats summarizeSamples(const std::vector<double>& samples) {
  SampleStats stats;
  const bool anyFailed = std::any_of(samples.begin(), samples.end(),
                                     [](double sample) { return !std::isfinite(sample); });
  if (samples.empty() || anyFailed) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    stats.median = stats.min = stats.max = nan;
    stats.failed = true;
    return stats;
  }
  std::vector<double> sorted(samples);
  std::sort(sorted.begin(), sorted.end());
  const size_t middle = sorted.size() / 2;
  stats.median = sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2.0;
  stats.min = sorted.front();
  stats.max = sorted.back();
  return stats;
}

MedianInterval medianInterval(std::vector<double> values) {
  MedianInterval out;
  const SampleStats stats = summarizeSamples(values);
  out.median = stats.median;
  if (stats.failed) {
    out.low = out.high = stats.median;
    return out;
  }
  std::sort(values.begin(), values.end());
  const double n = static_cast<double>(values.size());
  const double rank = std::floor(n / 2.0 - 0.98 * std::sqrt(n));
  const size_t k = rank > 0.0 ? static_cast<size_t>(rank) : 0;
  out.low = values[k];
  out.high = values[values.size() - 1 - k];
  return out;
}

bool narrowInterval(const std::vector<double>& samples) {
  if (samples.size() < 2) return false;
  const MedianInterval interval = medianInterval(samples);
  if (!std::isfinite(interval.low) || !std::isfinite(interval.high) || !(interval.median > 0.0))
    return false;
  return (interval.high - interval.low) / interval.median <= NarrowIntervalWidth;
}

double spreadOf(const SampleStats& stats) {
  if (stats.failed || !(stats.min > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  return stats.max / stats.min;
}

}  // namespace corvalis
