#include "measurements/cache_detection.h"

#include <algorithm>
#include <cmath>

#include "framework/sample_stats.h"

namespace corvalis {

MipRegion mipRegionOf(int n) {
  MipRegion region;
  if (n % 2 == 0) {
    region.a = n / 2;
    region.b = n / 2;
  } else {
    region.a = (n - 1) / 2 + 1;
    region.b = (n - 1) / 2;
  }
  return region;
}

double workingSetBytes(int n, int bitsPerTexel) {
  return std::ldexp(1.0, n) * bitsPerTexel * 0.125;
}

int largestTextureLog2(int maxTextureSize, int width, int height) {
  int maxSize = maxTextureSize;
  if (maxSize > 2048) maxSize = 2048;
  if (maxSize >= width) maxSize = width - 1;
  if (maxSize >= height) maxSize = height - 1;
  int log2 = 0;
  while (log2 < 30 && (2 << log2) <= maxSize) ++log2;
  return log2;
}

namespace {

// The plausibility checks of every rule: neither a stalled measurement (the slowest
// rate not above 10) nor a range that no cache explains (the fastest 200 times the
// slowest or more).
bool plausibleRates(const FormatSweep& sweep, int first, int last) {
  float maxRate = 0.0f;
  for (int n = first; n <= last; ++n) maxRate = std::max(maxRate, sweep.rates[n]);
  float minRate = maxRate;
  for (int n = first; n <= last; ++n) minRate = std::min(minRate, sweep.rates[n]);
  return minRate > 10.0f && maxRate / minRate < 200.0f;
}

}  // namespace

float detectCacheSize(const FormatSweep& sweep) {
  const int first = std::max(sweep.firstIndex, 0);
  const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
  if (last < first || !plausibleRates(sweep, first, last)) return 0.0f;
  for (int k = first + 1; k <= last; ++k) {
    const float before = sweep.rates[k - 1];
    if (!(sweep.rates[k] / before < 1.0f)) continue;
    // A dip that some later size makes up for is not the cache's edge.
    const float recovered = 0.9875f * before;
    bool neverRecovers = true;
    for (int j = k; j <= last && neverRecovers; ++j) neverRecovers = sweep.rates[j] < recovered;
    if (neverRecovers) return static_cast<float>(workingSetBytes(k - 1, sweep.bitsPerTexel));
  }
  return 0.0f;
}

namespace {

// A single run's clear drop lies this many times the curve's noise below 1...
constexpr double SingleRunNoiseMultiple = 4.0;
// ...and at least this far (as a log ratio, about 5 %), however quiet the curve.
constexpr double SingleRunMinDrop = 0.05;
// Any other step may move at most this share as far as the clear drop.
constexpr double SingleRunRunnerUpShare = 0.5;

// How far a step moves, up or down, as a log ratio.
double distanceFromOne(const StepEstimate& step) { return std::fabs(std::log(step.ratio)); }

StepEstimate pointStep(double ratio, double bytes) {
  StepEstimate step;
  step.position = bytes;
  step.ratio = step.low = step.high = ratio;
  return step;
}

// The steps of a single sweep from one size to the next (each at the bytes of the size
// before it), which of them is the answer's drop (none: steps.size()) and the one the
// evidence rests on: the drop, or without one the deepest.
struct SingleCurve {
  std::vector<StepEstimate> steps;
  size_t drop = 0;
  size_t chosen = 0;
};

// False when a rate of the range is not a positive number or the range has no step.
bool readSingleCurve(const FormatSweep& sweep, float bytes, SingleCurve& curve) {
  const int first = std::max(sweep.firstIndex, 0);
  const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
  for (int n = first; n <= last; ++n)
    if (!(sweep.rates[n] > 0.0f) || !std::isfinite(sweep.rates[n])) return false;
  for (int k = first + 1; k <= last; ++k)
    curve.steps.push_back(pointStep(static_cast<double>(sweep.rates[k]) / sweep.rates[k - 1],
                                    workingSetBytes(k - 1, sweep.bitsPerTexel)));
  const size_t count = curve.steps.size();
  curve.drop = count;
  for (size_t i = 0; i < count; ++i)
    if (bytes > 0.0f && static_cast<float>(curve.steps[i].position) == bytes) curve.drop = i;
  curve.chosen = curve.drop;
  if (curve.chosen == count)
    for (size_t i = 0; i < count; ++i)
      if (curve.chosen == count || curve.steps[i].ratio < curve.steps[curve.chosen].ratio)
        curve.chosen = i;
  return count > 0;
}

}  // namespace

double cacheCurveNoise(const FormatSweep& sweep, float bytes) {
  SingleCurve curve;
  if (!readSingleCurve(sweep, bytes, curve)) return 0.0;
  std::vector<double> sizes;
  for (size_t i = 0; i < curve.steps.size(); ++i)
    if (i != curve.chosen) sizes.push_back(distanceFromOne(curve.steps[i]));
  return sizes.empty() ? 0.0 : 1.4826 * summarizeSamples(sizes).median;
}

Evidence judgeCacheSize(const FormatSweep& sweep, float bytes, double noise) {
  Evidence evidence;
  evidence.unit = "B";
  SingleCurve curve;
  if (!readSingleCurve(sweep, bytes, curve)) return evidence;
  const std::vector<StepEstimate>& steps = curve.steps;
  evidence.step = steps[curve.chosen];
  // The runner-up is the other step furthest from 1: a spike up is a fall as large.
  for (size_t i = 0; i < steps.size(); ++i)
    if (i != curve.chosen && (!evidence.runnerUp || distanceFromOne(steps[i]) >
                                                        distanceFromOne(*evidence.runnerUp)))
      evidence.runnerUp = steps[i];
  evidence.noise = std::max(noise, cacheCurveNoise(sweep, bytes));
  const double clearDrop = std::max(SingleRunMinDrop, SingleRunNoiseMultiple * evidence.noise);
  evidence.threshold = std::exp(-clearDrop);
  if (curve.drop == steps.size()) return evidence;

  // The rate two sizes on, against the rate before the drop: the product of both steps.
  const bool hasNext = curve.drop + 1 < steps.size();
  const double fall = -std::log(steps[curve.drop].ratio);
  const double fallNext = hasNext ? fall - std::log(steps[curve.drop + 1].ratio) : 0.0;
  const double otherFall = evidence.runnerUp ? distanceFromOne(*evidence.runnerUp) : 0.0;
  const bool clear = hasNext && fall - otherFall >= clearDrop && fallNext >= clearDrop &&
                     otherFall <= SingleRunRunnerUpShare * fall;
  evidence.confidence = clear ? Confidence::Clear : Confidence::Uncertain;
  return evidence;
}

namespace {

// A drop must exceed this fraction, however quiet the curve, to count as a cache edge.
constexpr double MinCacheDrop = 0.05;
// ...and this many times the curve's own noise.
constexpr double NoiseMultiple = 3.0;
// A later size that comes back above this share of the rate before the drop recovers.
constexpr double Recovered = 0.9875;

// The per-round rates of a sweep measured in rounds: rounds[n - first][i] is size n in
// round i. False when a size lacks a round or holds a rate that is not positive.
bool roundRates(const FormatSweep& sweep, int first, int last,
                std::vector<std::vector<double>>& rounds) {
  const size_t count = sweep.samples[first].size();
  if (count < 2) return false;
  for (int n = first; n <= last; ++n) {
    const std::vector<float>& samples = sweep.samples[n];
    if (samples.size() != count) return false;
    std::vector<double> rates;
    for (float rate : samples) {
      if (!(rate > 0.0f) || !std::isfinite(rate)) return false;
      rates.push_back(rate);
    }
    rounds.push_back(rates);
  }
  return true;
}

// Size 'to' over size 'from', round by round, as a median with its interval.
MedianInterval roundRatio(const std::vector<std::vector<double>>& rounds, size_t from,
                          size_t to) {
  std::vector<double> ratios;
  for (size_t i = 0; i < rounds[from].size(); ++i) ratios.push_back(rounds[to][i] / rounds[from][i]);
  return medianInterval(ratios);
}

// The wiggle of the curve from one size to the next: the median absolute deviation of
// the logarithms of the neighbours' ratios, as a standard deviation. A real edge is one
// step among many and barely moves it.
double curveNoise(const std::vector<std::vector<double>>& rounds) {
  std::vector<double> steps;
  for (size_t k = 1; k < rounds.size(); ++k)
    steps.push_back(std::log(roundRatio(rounds, k - 1, k).median));
  if (steps.empty()) return 0.0;
  const double middle = summarizeSamples(steps).median;
  std::vector<double> deviations;
  for (double step : steps) deviations.push_back(std::fabs(step - middle));
  return 1.4826 * summarizeSamples(deviations).median;
}

StepEstimate estimateOf(const MedianInterval& interval, double bytes) {
  StepEstimate out;
  out.position = bytes;
  out.ratio = interval.median;
  out.low = interval.low;
  out.high = interval.high;
  return out;
}

}  // namespace

CacheDecision decideCacheSize(const FormatSweep& sweep) {
  CacheDecision decision;
  const int first = std::max(sweep.firstIndex, 0);
  const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
  std::vector<std::vector<double>> rounds;
  if (last < first || !roundRates(sweep, first, last, rounds)) return decision;
  decision.complete = true;
  Evidence& evidence = decision.evidence;
  evidence.unit = "B";
  evidence.noise = curveNoise(rounds);
  evidence.threshold = 1.0 - std::max(MinCacheDrop, NoiseMultiple * evidence.noise);
  // The plausibility checks apply to the reported rates as in the single-run rule.
  if (!plausibleRates(sweep, first, last)) return decision;

  // Candidate edges: after size k - 1 the rate falls by more than the least drop at k
  // and at k + 1 and no later size recovers. A lone last point is never one.
  struct Candidate {
    size_t k;
    StepEstimate step;
    bool beyondNoise;  // both drops beyond the threshold, their intervals below 1
  };
  std::vector<Candidate> candidates;
  const size_t sizes = rounds.size();
  for (size_t k = 1; k + 1 < sizes; ++k) {
    const MedianInterval atDrop = roundRatio(rounds, k - 1, k);
    const MedianInterval next = roundRatio(rounds, k - 1, k + 1);
    const double floor = 1.0 - MinCacheDrop;
    if (!(atDrop.median < floor && next.median < floor)) continue;
    bool staysDown = true;
    for (size_t j = k + 2; j < sizes && staysDown; ++j)
      staysDown = roundRatio(rounds, k - 1, j).median < Recovered;
    if (!staysDown) continue;
    const double bytes = workingSetBytes(first + static_cast<int>(k) - 1, sweep.bitsPerTexel);
    const bool beyondNoise = atDrop.median < evidence.threshold &&
                             next.median < evidence.threshold && atDrop.high < 1.0 &&
                             next.high < 1.0;
    candidates.push_back({k, estimateOf(atDrop, bytes), beyondNoise});
  }

  if (candidates.empty()) {
    // No edge: the evidence is the deepest step from one size to the next.
    for (size_t k = 1; k < sizes; ++k) {
      const StepEstimate step = estimateOf(
          roundRatio(rounds, k - 1, k), workingSetBytes(first + static_cast<int>(k) - 1, sweep.bitsPerTexel));
      if (!evidence.step || step.ratio < evidence.step->ratio) {
        if (evidence.step) evidence.runnerUp = evidence.step;
        evidence.step = step;
      } else if (!evidence.runnerUp || step.ratio < evidence.runnerUp->ratio) {
        evidence.runnerUp = step;
      }
    }
    return decision;
  }
  // The first edge that never recovers decides, as in the single-run rule.
  const Candidate& chosen = candidates.front();
  evidence.step = chosen.step;
  const Candidate* runnerUp = nullptr;
  for (size_t c = 1; c < candidates.size(); ++c)
    if (!runnerUp || candidates[c].step.ratio < runnerUp->step.ratio) runnerUp = &candidates[c];
  if (runnerUp) evidence.runnerUp = runnerUp->step;
  // A drop spread over two neighbouring sizes, the second as deep as the first may be,
  // has no one edge.
  const bool closeSecond = candidates.size() > 1 && candidates[1].k == chosen.k + 1 &&
                           candidates[1].step.ratio <= chosen.step.high;
  if (chosen.beyondNoise && !closeSecond) {
    evidence.confidence = Confidence::Clear;
    decision.bytes = static_cast<float>(chosen.step.position);
  } else {
    evidence.confidence = Confidence::Uncertain;
  }
  return decision;
}

void setQuadTexCoords(float* vertices, int a, int b, int width, int height) {
  // Slightly under one texel per pixel, so the nearest mipmap is the level of
  // 2^a x 2^b texels, repeated across the window.
  const float su = static_cast<float>(width) / std::ldexp(1.0f, a) * 0.975f;
  const float tv = static_cast<float>(height) / std::ldexp(1.0f, b) * 0.975f;
  // Each quad starts elsewhere in the texture, so the four do not read the same
  // texels in the same order.
  static const float offsets[4][2] = {
      {0.0f, 0.0f}, {-0.5f, 0.25f}, {0.25f, -0.5f}, {-0.75f, 0.75f}};
  for (int quad = 0; quad < 4; ++quad) {
    const float s0 = offsets[quad][0];
    const float t0 = offsets[quad][1];
    const float corners[4][2] = {{s0, t0}, {s0, t0 + tv}, {s0 + su, t0 + tv}, {s0 + su, t0}};
    for (int corner = 0; corner < 4; ++corner) {
      float* vertex = vertices + (4 * quad + corner) * QuadVertexFloats;
      vertex[3] = corners[corner][0];
      vertex[4] = corners[corner][1];
    }
  }
}

}  // namespace corvalis
