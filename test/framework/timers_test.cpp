#include "framework/timers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace corvalis {
namespace {

TEST(CycleCalibration, AllDifferentAveragesTheTwoMiddleRates) {
  const double rates[4] = {3.0e9, 1.0e9, 4.0e9, 2.0e9};
  EXPECT_DOUBLE_EQ(secondsPerCycleFromRates(rates), 2.0 / 5.0e9);
}

TEST(CycleCalibration, OnlySmallestAndLargestLeavesTheFirstRate) {
  const double rates[4] = {2.0e9, 1.0e9, 1.0e9, 2.0e9};
  EXPECT_DOUBLE_EQ(secondsPerCycleFromRates(rates), 1.0 / 2.0e9);
  const double same[4] = {3.0e9, 3.0e9, 3.0e9, 3.0e9};
  EXPECT_DOUBLE_EQ(secondsPerCycleFromRates(same), 1.0 / 3.0e9);
}

TEST(CycleCalibration, DuplicatesOfAnExtremeAreAllDropped) {
  const double rates[4] = {1.0e9, 1.0e9, 2.0e9, 4.0e9};
  EXPECT_DOUBLE_EQ(secondsPerCycleFromRates(rates), 1.0 / 2.0e9);
}

TEST(CycleTimer, CalibratesToAPlausibleScaleOnce) {
  CycleTimer timer;
  const double scale = CycleTimer::secondsPerCycle();
  EXPECT_TRUE(std::isfinite(scale));
  // Anything from a 10 MHz to a 100 GHz counter; a wrong unit is off by 1e9.
  EXPECT_GT(scale, 1.0e-11);
  EXPECT_LT(scale, 1.0e-7);
  CycleTimer second;
  EXPECT_EQ(CycleTimer::secondsPerCycle(), scale);
  EXPECT_GE(timer.elapsed(), 0.0);
}

TEST(PerfTimer, ElapsedDoesNotRestamp) {
  PerfTimer timer;
  const double first = timer.elapsed();
  const double second = timer.elapsed();
  EXPECT_GE(first, 0.0);
  EXPECT_GE(second, first);
}

}  // namespace
}  // namespace corvalis
