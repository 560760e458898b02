#include "reproducibility_stats.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace corvalis;

// The rank rounds up, so the 90th percentile of ten values is the ninth, not the tenth
// and not an interpolation; order of the input does not matter.
TEST(ReproducibilityStats, NearestRankPercentile) {
  EXPECT_EQ(nearestRankPercentile({10, 1, 9, 2, 8, 3, 7, 4, 6, 5}, 0.9), 9);
  EXPECT_EQ(nearestRankPercentile({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0.9), 10);
  EXPECT_EQ(nearestRankPercentile({3, 1, 2}, 0.5), 2);
  EXPECT_EQ(nearestRankPercentile({4, 1}, 0.5), 1);
  EXPECT_EQ(nearestRankPercentile({7}, 0.9), 7);
  EXPECT_TRUE(std::isnan(nearestRankPercentile({}, 0.9)));
}

// Each run's interval is held against the median of the others only: the first holds
// its own 100 but not the others' 102; bounds count as inside; runs without an interval
// or with a failed one are no trials, and a failed value spoils the trials that count it
// among the others.
TEST(ReproducibilityStats, CoverageAgainstTheOtherRuns) {
  const std::vector<double> values = {100, 102, 110, 101};
  Coverage coverage = coverageOf(values, {MedianInterval{100, 99, 101},
                                          MedianInterval{102, 101, 101.5},
                                          MedianInterval{110, 105, 111}, std::nullopt});
  // Others' medians: 102, 101, 101 -> miss, hit at the bound, miss.
  EXPECT_EQ(coverage.trials, 3);
  EXPECT_EQ(coverage.hits, 1);

  const double nan = std::nan("");
  coverage = coverageOf({100, 102, nan}, {MedianInterval{100, 99, 102},
                                          MedianInterval{102, nan, nan},
                                          MedianInterval{nan, 0, 200}});
  EXPECT_EQ(coverage.trials, 1);  // the third run's, against 101
  EXPECT_EQ(coverage.hits, 1);

  coverage = coverageOf({100}, {MedianInterval{100, 99, 101}});
  EXPECT_EQ(coverage.trials, 0);
}

TEST(ReproducibilityStats, AgreeingRunsCountsTheMostFrequentAnswer) {
  EXPECT_EQ(agreeingRuns({"16x4", "4x4", "4x4", "16x4", "4x4"}), 3);
  EXPECT_EQ(agreeingRuns({"4x4"}), 1);
  EXPECT_EQ(agreeingRuns({}), 0);
}
