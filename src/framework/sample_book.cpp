#include "framework/sample_book.h"

#include <algorithm>
#include <cmath>

#include "framework/measurement_loop.h"
#include "framework/sample_stats.h"

namespace corvalis {

void SampleBook::noteLastLoop(double value) { note(value, lastLoopUnitRates()); }

void SampleBook::note(double value, const std::vector<double>& samples) {
  if (samples.size() < 2) return;
  const SampleStats stats = summarizeSamples(samples);
  std::vector<double> relative;
  relative.reserve(samples.size());
  for (double sample : samples) relative.push_back(stats.median != 0.0 ? sample / stats.median : sample);
  entries_.emplace_back(value, relative);
}

std::vector<double> SampleBook::samplesOf(double value) const {
  // The latest note wins: a value measured again replaces the earlier samples.
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->first != value) continue;
    std::vector<double> samples;
    for (double fraction : entry->second) samples.push_back(fraction * value);
    return samples;
  }
  return {};
}

double SampleBook::largestSpread() const {
  double largest = 0.0;
  for (const auto& entry : entries_) {
    const double spread = spreadOf(summarizeSamples(entry.second));
    if (std::isnan(spread)) return spread;
    largest = std::max(largest, spread);
  }
  return largest;
}

}  // namespace corvalis
