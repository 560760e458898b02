#include "framework/timers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/platform.h"

namespace corvalis {
namespace {

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
