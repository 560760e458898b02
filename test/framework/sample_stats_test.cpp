#include "framework/sample_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace corvalis {
namespace {

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

}  // namespace
}  // namespace corvalis
