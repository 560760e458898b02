#include "framework/measurement_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

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
    Batch warmup;
    if (withWarmup) warmup = [this] { fake.calls.push_back("warmup"); };
    return runMeasurementLoop(spec, sync, [this] { fake.calls.push_back("batch"); }, warmup);
  }

  platform::FakePlatform fake;
  char dcMarker = 0;
};

// The loop stops at the first iteration that reaches the cap, or after one iteration
// when no minimum time is asked for; the count is in steps.
TEST_F(MeasurementLoopTest, StopRules) {
  struct Case {
    int step, cap;
    double minSeconds;
    int batches;
  };
  for (const Case& c : {Case{6, 5, 1.0e9, 1}, Case{3, 10, 1.0e9, 4}, Case{5, 5000, 0.0, 1}}) {
    LoopSpec spec;
    spec.step = c.step;
    spec.cap = c.cap;
    spec.minSeconds = c.minSeconds;
    const LoopResult result = run(spec, false);
    EXPECT_EQ(fake.count("batch"), c.batches) << c.cap;
    EXPECT_EQ(result.count, c.step * c.batches) << c.cap;
    EXPECT_GT(result.seconds, 0.0);
  }
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
    LoopSpec spec;
    spec.cap = 1;
    spec.minSeconds = 1.0e9;
    spec.batchEnd = c.end;
    spec.batchesPerIteration = c.batchesPerIteration;
    spec.warmupSwap = c.warmupSwap;
    spec.warmupBeforeTimers = c.warmupBeforeTimers;
    run(spec, c.swapSync, true);
    EXPECT_EQ(fake.calls, c.expected) << c.name;
  }
}

}  // namespace
}  // namespace corvalis
