#include "framework/timers.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(CycleTimer, CalibratesToAPlausibleScaleOnce) {
  CycleTimer timer;
  const double scale = CycleTimer::secondsPerCycle();
  // Anything from a 10 MHz to a 100 GHz counter; a wrong unit is off by 1e9.
  EXPECT_TRUE(std::isfinite(scale));
  EXPECT_GT(scale, 1.0e-11);
  EXPECT_LT(scale, 1.0e-7);
  CycleTimer second;
  EXPECT_EQ(CycleTimer::secondsPerCycle(), scale);
  EXPECT_GE(timer.elapsed(), 0.0);
}

}  // namespace
}  // namespace corvalis
