// The measurement loop, the timers it reads and the statistics of its repeats.

#include "framework/measurement_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "framework/sample_stats.h"
#include "framework/slice_gate.h"
#include "framework/timers.h"
#include "platform/fake/fake_platform.h"
#include "platform/platform.h"

namespace corvalis {
namespace {

using Calls = std::vector<std::string>;

// Runs loops on the fake backend, where swaps are recorded and glFlush reaches no
// context. Caps and huge or zero minimum times make the number of iterations
// independent of speed.
class MeasurementLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::install(&fake); }
  void TearDown() override { platform::install(nullptr); }

  LoopResult run(const LoopSpec& spec, bool swapSync, bool withWarmup = false) {
    SyncMethod sync(&dcMarker, swapSync);
    fake.calls.clear();
    return runMeasurementLoop(spec, sync, mark("batch"), withWarmup ? mark("warmup") : Batch());
  }
  // A batch that records its name.
  Batch mark(const char* name) {
    return [this, name] { fake.calls.push_back(name); };
  }
  // One iteration of the batches whatever the speed, with no swap before them.
  static LoopSpec oneIteration() {
    LoopSpec spec;
    spec.cap = 1;
    spec.minSeconds = 1.0e9;
    spec.warmupSwap = false;
    return spec;
  }

  platform::FakePlatform fake;
  char dcMarker = 0;
};

// The loop stops at the first iteration that reaches the cap, or after one iteration
// when no minimum time is asked for, but not before the least work (which the cap still
// bounds); the count is in steps.
TEST_F(MeasurementLoopTest, StopRules) {
  struct Case {
    int step, cap;
    double minSeconds;
    int minCount, batches;
  };
  for (const Case& c : {Case{6, 5, 1.0e9, 0, 1}, Case{3, 10, 1.0e9, 0, 4}, Case{5, 5000, 0.0, 0, 1},
                        Case{2, 5000, 0.0, 6, 3}, Case{1, 3, 0.0, 10, 3}}) {
    LoopSpec spec;
    spec.step = c.step;
    spec.cap = c.cap;
    spec.minSeconds = c.minSeconds;
    spec.minCount = c.minCount;
    const LoopResult result = run(spec, false);
    EXPECT_EQ(fake.count("batch"), c.batches) << c.cap;
    EXPECT_EQ(result.count, c.step * c.batches) << c.cap;
    EXPECT_GT(result.seconds, 0.0);
  }
}

// A slice whose iterations are long has done its least work once they took twice its
// minimum time: a batch that sleeps 5 ms ends a 1 ms slice after one of its ten.
TEST_F(MeasurementLoopTest, LongIterationsNeedNotReachTheLeastWork) {
  LoopSpec spec;
  spec.step = 4;
  spec.minSeconds = 0.001;
  spec.minCount = 40;
  SyncMethod sync(&dcMarker, false);
  int batches = 0;
  const LoopResult slow = runMeasurementLoop(spec, sync, [&batches] {
    ++batches;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }, Batch());
  EXPECT_EQ(batches, 1);
  EXPECT_EQ(slow.count, 4);
}

// Where the swaps fall for each batch end, sync method and warm-up option.
TEST_F(MeasurementLoopTest, SwapsAndWarmUp) {
  struct Case {
    const char* name;
    BatchEnd end;
    bool swapSync, warmupSwap, warmupBeforeTimers;
    int batchesPerIteration;
    Calls expected;
  };
  const Case cases[] = {
      {"swap sync", BatchEnd::Sync, true, true, false, 2,
       {"warmup", "swapBuffers", "batch", "swapBuffers", "batch", "swapBuffers"}},
      {"flush sync", BatchEnd::Sync, false, true, false, 2, {"warmup", "swapBuffers", "batch", "batch"}},
      {"flush end", BatchEnd::Flush, true, false, false, 2, {"warmup", "batch", "batch"}},
      {"no end", BatchEnd::None, true, false, false, 2, {"warmup", "batch", "batch"}},
      {"warm-up before timers", BatchEnd::Sync, false, false, true, 1, {"warmup", "batch"}}};
  for (const Case& c : cases) {
    LoopSpec spec = oneIteration();
    spec.batchEnd = c.end;
    spec.batchesPerIteration = c.batchesPerIteration;
    spec.warmupSwap = c.warmupSwap;
    spec.warmupBeforeTimers = c.warmupBeforeTimers;
    run(spec, c.swapSync, true);
    EXPECT_EQ(fake.calls, c.expected) << c.name;
  }
}

// Every repeat has its own warm-up and timed part; the pair alternates its order so
// that drift weighs on both measurements alike; rounds visit every pattern once,
// forwards then backwards, after one untimed batch of the first, and every pattern
// keeps one slice per round.
TEST_F(MeasurementLoopTest, RepeatsPairsAndRoundsAlternate) {
  LoopSpec spec = oneIteration();
  spec.repeats = 3;
  const LoopResult single = run(spec, false, true);
  EXPECT_EQ(fake.calls, (Calls{"warmup", "batch", "warmup", "batch", "warmup", "batch"}));
  EXPECT_EQ(single.repeats.size(), 3u);

  SyncMethod sync(&dcMarker, false);
  fake.calls.clear();
  const auto pair = runMeasurementPair(spec, sync, mark("A"), Batch(), mark("B"), Batch());
  EXPECT_EQ(fake.calls, (Calls{"A", "B", "B", "A", "A", "B"}));
  EXPECT_EQ(pair.first.repeats.size(), 3u);
  EXPECT_EQ(pair.second.repeats.size(), 3u);

  fake.calls.clear();
  const std::vector<LoopResult> rounds =
      runInRounds(oneIteration(), sync, 3, {{mark("A"), Batch()}, {mark("B"), Batch()}, {mark("C"), Batch()}});
  EXPECT_EQ(fake.calls, (Calls{"A", "A", "B", "C", "C", "B", "A", "A", "B", "C"}));
  ASSERT_EQ(rounds.size(), 3u);
  for (const LoopResult& result : rounds) EXPECT_EQ(result.repeats.size(), 3u);
}

// A set of measurements: a single run enters each once, in order, before its one timed
// part; rounds set each slice's state again from the base and the enters of its chain,
// visit the set forwards then backwards, and keep one slice per round; the adaptive mode
// out of time stops after its first rounds, wide intervals or not.
TEST_F(MeasurementLoopTest, SetsEnterInOrderOnceOrRestoreEverySlice) {
  SyncMethod sync(&dcMarker, false);
  const auto timed = [&](const char* enter, const char* batch, bool chained) {
    Timed t;
    t.spec = oneIteration();
    t.enter = mark(enter);
    t.batch = mark(batch);
    t.chained = chained;
    return t;
  };
  const std::vector<Timed> set = {timed("a", "A", false), timed("b", "B", true),
                                  timed("c", "C", false)};
  RunContext context;
  fake.calls.clear();
  const std::vector<LoopResult> once = measureSet(set, mark("base"), sync, context);
  EXPECT_EQ(fake.calls, (Calls{"a", "A", "b", "B", "c", "C"}));
  ASSERT_EQ(once.size(), 3u);
  EXPECT_EQ(once[1].repeats.size(), 1u);

  context.repeats = 2;
  fake.calls.clear();
  const std::vector<LoopResult> rounds = measureSet(set, mark("base"), sync, context);
  EXPECT_EQ(fake.calls, (Calls{"base", "a", "A",                                   // untimed
                               "base", "a", "A", "base", "a", "b", "B", "base", "c", "C",  // round 1
                               "base", "c", "C", "base", "a", "b", "B", "base", "a", "A"}));
  for (const LoopResult& result : rounds) EXPECT_EQ(result.repeats.size(), 2u);

  context.repeats = AutoRoundsCeiling;
  context.adaptive = true;
  context.deadline = RunClock::now();
  const std::vector<LoopResult> adaptive = measureSet(set, Batch(), sync, context);
  for (const LoopResult& result : adaptive) EXPECT_EQ(result.repeats.size(), 6u);
}

// A gate that lets 'slices' slices run and then calls the run off, as an A/B worker's
// gate does when the other side is lost.
class CallingOffGate : public SliceGate {
 public:
  explicit CallingOffGate(int slices) : slicesLeft_(slices) {}
  void beforeSlice() override { calledOff_ = calledOff_ || slicesLeft_-- <= 0; }
  int agreeRounds(int rounds) override { return rounds; }
  bool calledOff() const override { return calledOff_; }

 private:
  int slicesLeft_;
  bool calledOff_ = false;
};

// A called-off run takes no slice after the call-off, not even the one the gate was
// asked for, and a later set of rounds draws nothing at all, not even its untimed batch.
TEST_F(MeasurementLoopTest, RoundsEndWhenTheGateCallsTheRunOff) {
  SyncMethod sync(&dcMarker, false);
  CallingOffGate gate(2);
  setSliceGate(&gate);
  fake.calls.clear();
  const std::vector<LoopResult> cut = runInRounds(
      oneIteration(), sync, 3, {{mark("A"), Batch()}, {mark("B"), Batch()}, {mark("C"), Batch()}});
  EXPECT_EQ(fake.calls, (Calls{"A", "A", "B"}));  // the untimed batch, then two slices
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[0].repeats.size(), 1u);
  EXPECT_EQ(cut[1].repeats.size(), 1u);
  EXPECT_EQ(cut[2].repeats.size(), 0u);
  EXPECT_TRUE(runCalledOff());
  fake.calls.clear();
  const std::vector<LoopResult> later =
      runInRounds(oneIteration(), sync, 3, {{mark("D"), Batch()}});
  setSliceGate(nullptr);
  EXPECT_TRUE(fake.calls.empty());
  ASSERT_EQ(later.size(), 1u);
  EXPECT_TRUE(later[0].repeats.empty());
  EXPECT_FALSE(runCalledOff());
}

// A renderer whose least work overruns a slice gets fewer rounds, as many as keep the
// slices near their planned time, but never fewer than six.
TEST(RoundsForSpeed, CutsRoundsOnlyWhereTheLeastWorkOverrunsASlice) {
  LoopSpec slice;
  slice.step = 4;
  slice.minCount = 8;  // two iterations
  slice.minSeconds = 0.05;
  const struct {
    int rounds;
    double batchSeconds;
    int expected;
  } cases[] = {{20, 0.01, 20}, {20, 0.025, 20}, {20, 0.05, 10}, {40, 0.1, 10},
               {20, 1.0, 6},   {4, 1.0, 4},     {20, 0.0, 20}};
  for (const auto& c : cases)
    EXPECT_EQ(roundsForSpeed(slice, c.rounds, c.batchSeconds), c.expected)
        << c.rounds << " " << c.batchSeconds;
}

// A slice takes its share of the minimum time and of the cap, whole steps and at least
// one, with its queue bounded by time.
TEST(SliceOf, SharesTheWindowAndBoundsTheQueue) {
  LoopSpec spec;
  spec.step = 4;
  spec.cap = 2000;
  spec.minSeconds = 0.25;
  spec.finishEvery = 128;
  const LoopSpec slice = sliceOf(spec, 20, 1.6);
  EXPECT_DOUBLE_EQ(slice.minSeconds, 0.02);
  EXPECT_EQ(slice.cap, 160);
  EXPECT_EQ(slice.finishEvery, 128);
  EXPECT_TRUE(slice.timeBoundQueue);
  LoopSpec tiny;
  tiny.step = 6;
  tiny.cap = 10;
  const LoopSpec thin = sliceOf(tiny, 100, 1.0);
  EXPECT_EQ(thin.cap, 6);
  EXPECT_EQ(thin.finishEvery, 6);  // no finish bound of its own: the slice's cap
}

// The median of the repeats' rates; one repeat gives exactly work * count / seconds. The
// measured value carries the repeats' rates in the same unit, and none for one repeat.
TEST(LoopResult, RateIsTheMedianRepeat) {
  LoopResult one;
  one.count = 12;
  one.seconds = 0.5;
  one.repeats = {{12, 0.5, ""}};
  EXPECT_DOUBLE_EQ(one.rate(2.0), 48.0);
  EXPECT_TRUE(one.measured(2.0).samples.empty());
  LoopResult three;
  three.repeats = {{10, 1.0, ""}, {30, 1.0, ""}, {20, 1.0, ""}};
  EXPECT_DOUBLE_EQ(three.rate(2.0), 40.0);
  EXPECT_EQ(three.rates(1.0), (std::vector<double>{10.0, 30.0, 20.0}));
  const Measured measured = three.measured(2.0);
  EXPECT_EQ(measured.value, 40.0);
  EXPECT_EQ(measured.samples, (std::vector<double>{20.0, 60.0, 40.0}));
  three.repeats[1].seconds = 0.0;  // a repeat with no time fails the value
  EXPECT_TRUE(std::isnan(three.rate(1.0)));
}

// Where the next glFinish falls: the fixed 128 on a renderer that does 128 units within
// the minimum time, the rest of the minimum time's worth on one that does not.
TEST(QueueBound, SwitchesToTimeOnlyWhenTheFixedBoundOutlastsTheMinimum) {
  struct Case {
    int count;
    double elapsed;
    int expected;
  };
  const Case cases[] = {
      {4, 0.001, 128},    // 128 units take 0.032 s: the fixed bound
      {128, 0.05, 256},   // still fast: the next multiple of 128
      {4, 0.05, 20},      // 128 units would take 1.6 s: 0.2 s left is 16 more units
      {4, 0.0100, 100},   // 128 units would take 0.32 s: by time, 96 more units fill 0.24 s
      {20, 0.26, 24},     // past the minimum: one more step at least
      {100, 0.249, 104},  // a sliver left still rounds up to a whole step
      {4, 0.0, 128},      // no time seen yet: the fixed bound
  };
  for (const Case& c : cases)
    EXPECT_EQ(nextQueueFinish(c.count, c.elapsed, 4, 128, 0.25), c.expected)
        << c.count << " " << c.elapsed;
}

TEST(SampleStats, MedianAndExtremes) {
  struct Case {
    std::vector<double> samples;
    double median, min, max;
  };
  const Case cases[] = {
      {{7.0}, 7.0, 7.0, 7.0},
      {{3.0, 1.0, 2.0}, 2.0, 1.0, 3.0},                 // odd: the middle one
      {{4.0, 1.0, 3.0, 2.0}, 2.5, 1.0, 4.0},            // even: the mean of the two middle
      {{5.0, 5.0, 5.0, 5.0}, 5.0, 5.0, 5.0},            // equal samples
      {{10.0, 100.0, 11.0, 9.0, 12.0}, 11.0, 9.0, 100.0}};  // an outlier does not move it
  for (const Case& c : cases) {
    const SampleStats stats = summarizeSamples(c.samples);
    EXPECT_FALSE(stats.failed);
    EXPECT_DOUBLE_EQ(stats.median, c.median) << c.samples.size();
    EXPECT_DOUBLE_EQ(stats.min, c.min);
    EXPECT_DOUBLE_EQ(stats.max, c.max);
  }
  EXPECT_DOUBLE_EQ(spreadOf(summarizeSamples({2.0, 3.0, 2.5})), 1.5);
  EXPECT_DOUBLE_EQ(spreadOf(summarizeSamples({4.0, 4.0})), 1.0);
}

// One failed repeat fails the value: no median of the others passed off as all of them.
TEST(SampleStats, FailedSampleFailsTheSet) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const std::vector<double>& samples :
       {std::vector<double>{1.0, nan, 2.0}, {inf, 1.0, 1.0}, {}}) {
    const SampleStats stats = summarizeSamples(samples);
    EXPECT_TRUE(stats.failed) << samples.size();
    EXPECT_TRUE(std::isnan(stats.median));
    EXPECT_TRUE(std::isnan(spreadOf(stats)));
  }
}

// Student's t test against values worked by hand, and the edges where it has no spread
// or too few values to weigh.
TEST(SampleStats, MeanZeroPValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NEAR(meanZeroPValue({1, 2, 3, 4, 5}), 0.0132356, 1e-6);  // t = 4.243 on 4 degrees
  EXPECT_NEAR(meanZeroPValue({0, 2}), 0.5, 1e-9);                  // t = 1 on 1: a Cauchy
  EXPECT_NEAR(meanZeroPValue({-1, -2, -3, -4, -5}), 0.0132356, 1e-6);  // both sides alike
  EXPECT_NEAR(meanZeroPValue({0.1, 0.12, 0.09, 0.11, 0.1, 0.13}), 9.6468e-6, 1e-9);
  EXPECT_NEAR(meanZeroPValue({1, -1, 2, -2}), 1.0, 1e-12);
  EXPECT_DOUBLE_EQ(meanZeroPValue({-0.1, -0.1, -0.1}), 0.0);  // no spread, off 0
  EXPECT_DOUBLE_EQ(meanZeroPValue({0, 0, 0}), 1.0);
  EXPECT_TRUE(std::isnan(meanZeroPValue({0.5})));
  EXPECT_TRUE(std::isnan(meanZeroPValue({0.5, nan, 0.1})));
}

// Benjamini and Hochberg step up: the largest k whose k-th smallest p is at most k/m of
// the rate picks all k smaller ones too, a NaN counting for nothing.
TEST(SampleStats, FalseDiscoveryPicks) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(falseDiscoveryPicks({0.001, 0.02, 0.9, nan, 0.04}, 0.05),
            (std::vector<bool>{true, true, false, false, false}));  // 0.04 > 3/4 of 0.05
  // 0.03 alone would miss 1/4 of 0.05; the fourth at 0.045 <= 0.05 takes them all.
  EXPECT_EQ(falseDiscoveryPicks({0.045, 0.03, 0.035, 0.04}, 0.05),
            (std::vector<bool>(4, true)));
  // Seventy values: one at 0.01 is what a 95 % interval each would call, not a pick.
  std::vector<double> many(70, 0.5);
  many[3] = 0.01;
  EXPECT_EQ(falseDiscoveryPicks(many, 0.05), std::vector<bool>(70, false));
  many[3] = 0.0005;
  EXPECT_TRUE(falseDiscoveryPicks(many, 0.05)[3]);
  EXPECT_TRUE(falseDiscoveryPicks({}, 0.05).empty());
}

// Four rate samples: every copy of the smallest and the largest is dropped and the
// rest averaged; when nothing is left the first sample counts.
TEST(CycleCalibration, DropsTheExtremesAndAveragesTheRest) {
  struct Case {
    double rates[4];
    double expectedRate;
  };
  const Case cases[] = {{{3.0e9, 1.0e9, 4.0e9, 2.0e9}, 2.5e9},
                        {{2.0e9, 1.0e9, 1.0e9, 2.0e9}, 2.0e9},
                        {{3.0e9, 3.0e9, 3.0e9, 3.0e9}, 3.0e9},
                        {{1.0e9, 1.0e9, 2.0e9, 4.0e9}, 2.0e9}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(secondsPerCycleFromRates(c.rates), 1.0 / c.expectedRate) << c.rates[0];
  }
}

// The calibrated cycle timer and the performance timer read the same interval alike: a
// scale in a wrong unit is off by a factor of a thousand or more. Both clocks span the
// same sleep, so load on the machine stretches them together; of three tries the one
// closest to agreement counts, so that a preemption between two readings cannot fail it.
TEST(CycleTimer, CalibrationAgreesWithThePerformanceTimer) {
  CycleTimer cycles;  // the first construction calibrates
  double closest = 0.0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    PerfTimer perf;
    cycles.restart();
    platform::current().sleepMilliseconds(50);
    const double cycleSeconds = cycles.elapsed();
    const double ratio = cycleSeconds / perf.elapsed();
    if (attempt == 0 || std::fabs(std::log(ratio)) < std::fabs(std::log(closest))) closest = ratio;
  }
  EXPECT_GT(closest, 0.5);
  EXPECT_LT(closest, 2.0);
}

}  // namespace
}  // namespace corvalis
