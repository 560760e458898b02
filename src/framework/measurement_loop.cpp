#include "framework/measurement_loop.h"

#include <algorithm>
#include <cmath>

#include "framework/gl_errors.h"
#include "framework/sample_stats.h"
#include "framework/slice_gate.h"
#include "framework/stop_request.h"
#include "framework/timers.h"
#include "platform/gl_include.h"

namespace corvalis {

namespace {

// The test's warm-up draw (if any), the swap when the loop asks for one, then glFinish
// so that the timed part starts on an idle pipeline.
void warmUp(const LoopSpec& spec, const SyncMethod& sync, const Batch& warmup) {
  if (warmup) warmup();
  if (spec.warmupSwap) sync.swap();
  glFinish();
}

void endBatch(BatchEnd end, const SyncMethod& sync) {
  switch (end) {
    case BatchEnd::Sync:
      sync.endBatch();
      break;
    case BatchEnd::Flush:
      glFlush();
      break;
    case BatchEnd::None:
      break;
  }
}

// One warm-up and timed part.
LoopSample runOnce(const LoopSpec& spec, const SyncMethod& sync, const Batch& batch,
                   const Batch& warmup) {
  if (spec.warmupBeforeTimers) warmUp(spec, sync, warmup);
  CycleTimer cycles;
  PerfTimer perf;
  LoopSample result;
  if (!spec.warmupBeforeTimers) warmUp(spec, sync, warmup);

  // With a time-bounded queue the first glFinish follows the first iteration (or the
  // least work): it shows how long the renderer takes per unit before much is queued.
  int nextFinish = std::max(spec.step, spec.minCount);
  perf.restart();
  cycles.restart();
  for (;;) {
    for (int i = 0; i < spec.batchesPerIteration; ++i) {
      batch();
      endBatch(spec.batchEnd, sync);
    }
    result.count += spec.step;
    if (spec.timeBoundQueue) {
      if (result.count >= nextFinish) {
        glFinish();
        nextFinish = nextQueueFinish(result.count, cycles.elapsed(), spec.step,
                                     spec.finishEvery, spec.minSeconds);
      }
    } else if (spec.finishEvery > 0 && result.count % spec.finishEvery == 0) {
      glFinish();
    }
    // The cap bounds the work of a fast batch...
    if (result.count >= spec.cap) break;
    // ...and the minimum time, read from the cycle counter alone, that of a slow one.
    // The least work keeps a short slice from timing a wake-up; iterations that took
    // twice the minimum time are work enough, however few (a long Bandwidth cycle).
    const double elapsed = cycles.elapsed();
    if (elapsed >= spec.minSeconds &&
        (result.count >= spec.minCount || (spec.minSeconds > 0 && elapsed >= 2.0 * spec.minSeconds)))
      break;
    // A stop request (Ctrl-C) ends the test at the next batch.
    if (stopRequested()) break;
  }
  if (spec.finalFinish) glFinish();
  result.seconds = perf.elapsed();
  result.glError = takeGlErrors();
  return result;
}

int repeatsOf(const LoopSpec& spec) { return std::max(spec.repeats, 1); }

// Fills count and seconds from the median repeat, and the errors from all of them.
LoopResult finished(LoopResult result) {
  const std::vector<double> unitRates = result.rates(1.0);
  if (result.repeats.empty()) return result;
  for (const LoopSample& sample : result.repeats) mergeGlErrors(result.glError, sample.glError);
  std::vector<size_t> order(unitRates.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&unitRates](size_t a, size_t b) { return unitRates[a] < unitRates[b]; });
  const LoopSample& middle = result.repeats[order[(order.size() - 1) / 2]];
  result.count = middle.count;
  result.seconds = middle.seconds;
  return result;
}

}  // namespace

std::vector<double> LoopResult::rates(double workPerUnit) const {
  std::vector<double> out;
  out.reserve(repeats.size());
  for (const LoopSample& sample : repeats) out.push_back(workPerUnit * sample.count / sample.seconds);
  return out;
}

double LoopResult::rate(double workPerUnit) const {
  if (repeats.size() <= 1) return workPerUnit * count / seconds;
  return summarizeSamples(rates(workPerUnit)).median;
}

Measured LoopResult::measured(double workPerUnit) const {
  Measured out(rate(workPerUnit));
  if (repeats.size() > 1) out.samples = rates(workPerUnit);
  out.glError = glError;
  return out;
}

int nextQueueFinish(int count, double elapsedSeconds, int step, int finishEvery,
                    double minSeconds) {
  const int unit = std::max(step, 1);
  const int bound = std::max(finishEvery, unit);
  const int nextMultiple = (count / bound + 1) * bound;
  if (count <= 0 || !(elapsedSeconds > 0.0)) return nextMultiple;
  const double secondsPerUnit = elapsedSeconds / count;
  // A renderer that does a whole bound of work within the minimum time keeps the
  // fixed bound.
  if (secondsPerUnit * bound < minSeconds) return nextMultiple;
  const double remaining = std::max(minSeconds - elapsedSeconds, 0.0);
  const double steps = std::ceil(remaining / (secondsPerUnit * unit));
  const double units = std::max(steps, 1.0) * unit;
  return static_cast<int>(std::min<double>(count + units, nextMultiple));
}

LoopResult runMeasurementLoop(const LoopSpec& spec, const SyncMethod& sync, const Batch& batch,
                              const Batch& warmup) {
  LoopResult result;
  for (int repeat = 0; repeat < repeatsOf(spec); ++repeat)
    result.repeats.push_back(runOnce(spec, sync, batch, warmup));
  return finished(result);
}

std::pair<LoopResult, LoopResult> runMeasurementPair(const LoopSpec& spec, const SyncMethod& sync,
                                                     const Batch& batchA, const Batch& warmupA,
                                                     const Batch& batchB, const Batch& warmupB) {
  LoopResult a, b;
  for (int repeat = 0; repeat < repeatsOf(spec); ++repeat) {
    if (repeat % 2 == 0) {
      a.repeats.push_back(runOnce(spec, sync, batchA, warmupA));
      b.repeats.push_back(runOnce(spec, sync, batchB, warmupB));
    } else {
      b.repeats.push_back(runOnce(spec, sync, batchB, warmupB));
      a.repeats.push_back(runOnce(spec, sync, batchA, warmupA));
    }
  }
  return {finished(a), finished(b)};
}

LoopSpec sliceOf(const LoopSpec& spec, int rounds, double budget) {
  LoopSpec slice = spec;
  const double share = budget / std::max(rounds, 1);
  slice.minSeconds = spec.minSeconds * share;
  const int step = std::max(spec.step, 1);
  slice.cap = std::max(step, static_cast<int>(std::ceil(spec.cap * share / step)) * step);
  // A renderer queues a short slice's batches faster than it draws them, and the loop's
  // clock sees only the queueing: the queue is bounded by time, so that a slice's work
  // fits its share of the minimum time and not just of the cap.
  if (slice.finishEvery <= 0 || slice.finishEvery > slice.cap) slice.finishEvery = slice.cap;
  slice.timeBoundQueue = true;
  return slice;
}

namespace {

// The fewest rounds a slow renderer's measurements are cut down to: fewer slices leave
// no interval worth the name.
constexpr int FewestRounds = 6;

}  // namespace

int roundsForSpeed(const LoopSpec& slice, int rounds, double batchSeconds) {
  if (!(batchSeconds > 0.0) || !(slice.minSeconds > 0.0)) return rounds;
  const int step = std::max(slice.step, 1);
  const int iterations = (std::max(step, slice.minCount) + step - 1) / step;
  const double least = batchSeconds * iterations * std::max(slice.batchesPerIteration, 1);
  if (least <= slice.minSeconds) return rounds;
  const double fit = std::floor(rounds * slice.minSeconds / least);
  const int fewest = std::min(rounds, FewestRounds);
  return std::max(fewest, static_cast<int>(std::min<double>(fit, rounds)));
}

namespace {

// The rounds shared by runInRounds and measureSet: every pattern once a round, with its
// own slice and, first, the state it needs; the order turns about from round to round.
// They end after 'rounds' rounds, at a stop request, when the slice gate calls the run
// off, or when 'enough' says so after a round.
using RoundsDone = std::function<bool(int roundsRun, const std::vector<LoopResult>& results)>;

std::vector<LoopResult> roundsOf(const std::vector<LoopSpec>& slices, const SyncMethod& sync,
                                 int rounds, const std::vector<Pattern>& patterns,
                                 const std::vector<Batch>& restores, const RoundsDone& enough) {
  std::vector<LoopResult> results(patterns.size());
  const size_t count = patterns.size();
  const auto ended = [] { return stopRequested() || runCalledOff(); };
  // One untimed batch first, so that no slice pays for the renderer's first use of the
  // state (a shader compiled on first draw); the time it takes shows how fast the
  // renderer is.
  if (count > 0 && !ended()) {
    if (restores[0]) restores[0]();
    if (patterns[0].warmup) patterns[0].warmup();
    glFinish();
    PerfTimer clock;
    patterns[0].batch();
    glFinish();
    rounds = roundsForSpeed(slices[0], rounds, clock.elapsed());
    if (SliceGate* gate = sliceGate()) rounds = gate->agreeRounds(rounds);
  }
  for (int round = 0; round < rounds && !ended(); ++round) {
    for (size_t turn = 0; turn < count && !ended(); ++turn) {
      const size_t index = round % 2 == 0 ? turn : count - 1 - turn;
      const Pattern& pattern = patterns[index];
      if (restores[index]) restores[index]();
      // A gate hands the renderer to someone else: what the state set up queued is
      // drawn first, so that none of it runs on into the other's slice.
      if (SliceGate* gate = sliceGate()) {
        glFinish();
        gate->beforeSlice();
      }
      if (ended()) break;
      results[index].repeats.push_back(runOnce(slices[index], sync, pattern.batch, pattern.warmup));
    }
    if (enough && enough(round + 1, results)) break;
  }
  for (LoopResult& result : results) result = finished(result);
  return results;
}

// Adaptive rounds: slices of an eighth of the single window, at least six rounds, at
// most the run's ceiling. Six slices give an interval from their extremes, wide enough
// to keep a noisy value going; from eight on the extremes drop out of it.
constexpr int AutoSliceRounds = 8;
constexpr int AutoMinRounds = 6;
// The slices of a measurement's rounds together take its single window; their warm-ups,
// state and drains come on top, untimed.
constexpr double RoundsBudget = 1.0;

}  // namespace

std::vector<LoopResult> runInRounds(const LoopSpec& slice, const SyncMethod& sync, int rounds,
                                    const std::vector<Pattern>& patterns) {
  return roundsOf(std::vector<LoopSpec>(patterns.size(), slice), sync, rounds, patterns,
                  std::vector<Batch>(patterns.size()), RoundsDone());
}

RoundPlan roundPlan(const RunContext& context) {
  RoundPlan plan;
  plan.rounds = std::max(context.repeats, 1);
  plan.sliceRounds = plan.rounds;
  plan.minRounds = plan.rounds;
  if (context.adaptive) {
    plan.adaptive = true;
    plan.sliceRounds = AutoSliceRounds;
    plan.minRounds = std::min(AutoMinRounds, plan.rounds);
  }
  return plan;
}

std::vector<LoopResult> measureSet(const std::vector<Timed>& set, const Batch& base,
                                   const SyncMethod& sync, const RunContext& context) {
  std::vector<LoopResult> results;
  if (!context.inRounds()) {
    for (const Timed& timed : set) {
      if (timed.enter) timed.enter();
      LoopSpec once = timed.spec;
      once.repeats = 1;
      results.push_back(runMeasurementLoop(once, sync, timed.batch, timed.warmup));
    }
    return results;
  }
  const RoundPlan plan = roundPlan(context);
  std::vector<LoopSpec> slices;
  std::vector<Pattern> patterns;
  std::vector<Batch> restores;
  for (size_t i = 0; i < set.size(); ++i) {
    LoopSpec slice = sliceOf(set[i].spec, plan.sliceRounds, RoundsBudget);
    // A slice draws at least two iterations, so that it times the work and not the
    // scheduler's wake-up from its glFinish.
    slice.minCount = std::max(slice.minCount, 2 * std::max(slice.step, 1));
    slices.push_back(slice);
    patterns.push_back({set[i].batch, set[i].warmup});
    size_t first = i;
    while (first > 0 && set[first].chained) --first;
    restores.push_back([&set, &base, first, i] {
      if (base) base();
      for (size_t k = first; k <= i; ++k)
        if (set[k].enter) set[k].enter();
    });
  }
  RoundsDone enough;
  if (plan.adaptive) {
    enough = [&plan, &context](int roundsRun, const std::vector<LoopResult>& partial) {
      if (roundsRun < plan.minRounds) return false;
      // Out of time: what is measured stands, wide or not.
      if (context.pastDeadline()) return true;
      for (const LoopResult& result : partial)
        if (!narrowInterval(result.rates(1.0))) return false;
      return true;
    };
  }
  return roundsOf(slices, sync, plan.rounds, patterns, restores, enough);
}

}  // namespace corvalis
