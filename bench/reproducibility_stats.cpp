#include "reproducibility_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvalis {

double nearestRankPercentile(std::vector<double> values, double fraction) {
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(fraction * static_cast<double>(values.size()));
  const size_t index = rank > 1.0 ? static_cast<size_t>(rank) - 1 : 0;
  return values[std::min(index, values.size() - 1)];
}

Coverage coverageOf(const std::vector<double>& values,
                    const std::vector<std::optional<MedianInterval>>& intervals) {
  Coverage coverage;
  for (size_t run = 0; run < values.size() && run < intervals.size(); ++run) {
    const std::optional<MedianInterval>& interval = intervals[run];
    if (!interval || !std::isfinite(interval->low) || !std::isfinite(interval->high)) continue;
    std::vector<double> others(values);
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(run));
    const SampleStats stats = summarizeSamples(others);
    if (stats.failed) continue;  // no other run, or one without a number
    ++coverage.trials;
    if (interval->low <= stats.median && stats.median <= interval->high)
      ++coverage.hits;
  }
  return coverage;
}

int agreeingRuns(const std::vector<std::string>& answers) {
  int most = 0;
  for (const std::string& answer : answers)
    most = std::max(most, static_cast<int>(std::count(answers.begin(), answers.end(), answer)));
  return most;
}

}  // namespace corvalis
