#include "framework/measurement_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace corvalis {
namespace {

// Runs loops on the fake backend: swaps are recorded, glFlush and glFinish reach no
// context. Stop rules are checked with caps and minimum times that make the number of
// iterations independent of speed.
class MeasurementLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::install(&fake); }
  void TearDown() override { platform::install(nullptr); }

  LoopResult run(const LoopSpec& spec, bool swapSync, const Batch& warmup = Batch()) {
    SyncMethod sync(&dcMarker, swapSync);
    fake.calls.clear();
    return runMeasurementLoop(
        spec, sync,
        [this] {
          ++batches;
          fake.calls.push_back("batch");
        },
        warmup);
  }

  platform::FakePlatform fake;
  char dcMarker = 0;
  int batches = 0;
};

TEST_F(MeasurementLoopTest, CapReachedAtOnceEndsAfterOneIteration) {
  LoopSpec spec;
  spec.step = 6;
  spec.cap = 5;
  spec.minSeconds = 1.0e9;
  const LoopResult result = run(spec, true);
  EXPECT_EQ(batches, 1);
  EXPECT_EQ(result.count, 6);
  EXPECT_GT(result.seconds, 0.0);
}

TEST_F(MeasurementLoopTest, CapCountsStepsAndStopsAtTheFirstReach) {
  LoopSpec spec;
  spec.step = 3;
  spec.cap = 10;
  spec.minSeconds = 1.0e9;
  EXPECT_EQ(run(spec, false).count, 12);
  EXPECT_EQ(batches, 4);
}

TEST_F(MeasurementLoopTest, ZeroMinimumTimeMeansExactlyOneIteration) {
  LoopSpec spec;
  spec.step = 5;
  spec.cap = 5000;
  spec.minSeconds = 0.0;
  const LoopResult result = run(spec, true);
  EXPECT_EQ(batches, 1);
  EXPECT_EQ(result.count, 5);
  EXPECT_DOUBLE_EQ(result.rate(100.0), 500.0 / result.seconds);
}

TEST_F(MeasurementLoopTest, SwapChosenWarmsUpThenSwapsAfterEveryBatch) {
  LoopSpec spec;
  spec.cap = 2;
  spec.batchesPerIteration = 2;
  spec.step = 2;
  spec.minSeconds = 1.0e9;
  run(spec, true, [this] { fake.calls.push_back("warmup"); });
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"warmup", "swapBuffers", "batch", "swapBuffers",
                                                  "batch", "swapBuffers"}));
}

TEST_F(MeasurementLoopTest, FlushChosenSwapsOnlyInTheWarmUp) {
  LoopSpec spec;
  spec.cap = 3;
  spec.minSeconds = 1.0e9;
  run(spec, false);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"swapBuffers", "batch", "batch", "batch"}));
}

TEST_F(MeasurementLoopTest, FlushAndNoneBatchEndsNeverSwapAndNoWarmupSwapWhenAsked) {
  for (BatchEnd end : {BatchEnd::Flush, BatchEnd::None}) {
    LoopSpec spec;
    spec.cap = 2;
    spec.minSeconds = 1.0e9;
    spec.batchEnd = end;
    spec.warmupSwap = false;
    run(spec, true);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"batch", "batch"}));
  }
}

TEST_F(MeasurementLoopTest, WarmupBeforeTimersStillPrecedesTheTimedBatches) {
  LoopSpec spec;
  spec.cap = 1;
  spec.warmupSwap = false;
  spec.warmupBeforeTimers = true;
  run(spec, false, [this] { fake.calls.push_back("warmup"); });
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"warmup", "batch"}));
}

}  // namespace
}  // namespace corvalis
