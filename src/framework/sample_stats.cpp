#include "framework/sample_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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

namespace {

// The continued fraction of the regularized incomplete beta function, by the modified
// Lentz method; it converges fast for x < (a + 1) / (a + b + 2).
double betaFraction(double a, double b, double x) {
  constexpr double Tiny = 1e-300;
  const auto guarded = [](double v) { return std::fabs(v) < Tiny ? Tiny : v; };
  double c = 1.0;
  double d = 1.0 / guarded(1.0 - (a + b) * x / (a + 1.0));
  double h = d;
  for (int m = 1; m <= 300; ++m) {
    const double m2 = 2.0 * m;
    double step = m * (b - m) * x / ((a - 1.0 + m2) * (a + m2));
    d = 1.0 / guarded(1.0 + step * d);
    c = guarded(1.0 + step / c);
    h *= d * c;
    step = -(a + m) * (a + b + m) * x / ((a + m2) * (a + 1.0 + m2));
    d = 1.0 / guarded(1.0 + step * d);
    c = guarded(1.0 + step / c);
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < 1e-15) break;
  }
  return h;
}

// I_x(a, b), the regularized incomplete beta function.
double incompleteBeta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1.0) / (a + b + 2.0)) return front * betaFraction(a, b, x) / a;
  return 1.0 - front * betaFraction(b, a, 1.0 - x) / b;
}

}  // namespace

double meanZeroPValue(const std::vector<double>& values) {
  const size_t n = values.size();
  const bool finite = std::all_of(values.begin(), values.end(),
                                  [](double v) { return std::isfinite(v); });
  if (n < 2 || !finite) return std::numeric_limits<double>::quiet_NaN();
  const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
  double squares = 0.0;
  for (double v : values) squares += (v - mean) * (v - mean);
  const double deviation = std::sqrt(squares / (n - 1));
  // Identical values: no spread to weigh the mean against.
  if (!(deviation > 1e-12 * std::max(std::fabs(mean), 1e-300))) return mean == 0.0 ? 1.0 : 0.0;
  const double t = mean / (deviation / std::sqrt(static_cast<double>(n)));
  const double freedom = static_cast<double>(n - 1);
  return incompleteBeta(freedom / 2.0, 0.5, freedom / (freedom + t * t));
}

std::vector<bool> falseDiscoveryPicks(const std::vector<double>& pValues, double rate) {
  std::vector<size_t> order;
  for (size_t i = 0; i < pValues.size(); ++i)
    if (std::isfinite(pValues[i])) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&pValues](size_t a, size_t b) { return pValues[a] < pValues[b]; });
  const double m = static_cast<double>(order.size());
  size_t picked = 0;
  for (size_t k = 1; k <= order.size(); ++k)
    if (pValues[order[k - 1]] <= k / m * rate) picked = k;
  std::vector<bool> picks(pValues.size(), false);
  for (size_t k = 0; k < picked; ++k) picks[order[k]] = true;
  return picks;
}

}  // namespace corvalis
