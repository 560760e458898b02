#include "report/charts_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace corvalis;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

std::vector<std::string> labels(const Axis& axis) {
  std::vector<std::string> out;
  for (const Tick& tick : axis.ticks) out.push_back(tick.label);
  return out;
}

TEST(ChartsGeometry, TickLabelsUseTheReportPrefixesWithoutEmptyDecimals) {
  struct Case {
    double value;
    bool binary;
    const char* unit;
    const char* expected;
  };
  const Case cases[] = {
      {16384, true, "B", "16 kiB"},   {1536, true, "B", "1.5 kiB"},   {4, true, "B", "4 B"},
      {1048576, true, "", "1 Mi"},    {0, false, "", "0"},            {2.5e7, false, "", "25 M"},
      {1.25e9, false, "Tex/s", "1.25 GTex/s"}, {64, false, "px", "64 px"},
      {0.0005, false, "s", "500 \xB5s"},   {1.5, false, "", "1.5"},
  };
  for (const Case& c : cases) EXPECT_EQ(tickLabel(c.value, c.binary, c.unit), c.expected) << c.value;
}

TEST(ChartsGeometry, Log2AxisCoversTheDataWithPowersOfTwoAndStaysFinite) {
  Axis axis = log2Axis(4, 65536, "B", 20);
  EXPECT_EQ(std::make_pair(axis.min, axis.max), std::make_pair(4.0, 65536.0));
  EXPECT_EQ(axis.ticks.size(), 15u);
  EXPECT_EQ(axis.ticks.front().label, "4 B");
  EXPECT_EQ(axis.ticks.back().label, "64 kiB");
  EXPECT_DOUBLE_EQ(axis.fraction(256), 6.0 / 14.0);

  // Not a power of two: widened outwards; too many powers: every second one.
  Axis wide = log2Axis(3, 100, "", 4);
  EXPECT_EQ(std::make_pair(wide.min, wide.max), std::make_pair(2.0, 128.0));
  EXPECT_EQ(labels(wide), (std::vector<std::string>{"2", "8", "32", "128"}));

  // One value only, or nothing usable: still a valid range, never a division by zero.
  Axis single = log2Axis(8, 8, "px", 12);
  EXPECT_LT(single.min, single.max);
  EXPECT_TRUE(single.contains(8));
  Axis empty = log2Axis(0, NaN, "", 12);
  EXPECT_LT(empty.min, empty.max);
  EXPECT_TRUE(std::isnan(axis.fraction(0)));
  EXPECT_TRUE(std::isnan(axis.fraction(-1)));
  EXPECT_FALSE(axis.contains(2));
  EXPECT_FALSE(axis.contains(131072));
  // Ends stay finite for any value.
  for (double high : {1e308, 1.7976931348623157e308, Inf}) {
    const Axis huge = log2Axis(4, high, "B", 12);
    EXPECT_TRUE(std::isfinite(huge.max)) << high;
    EXPECT_TRUE(std::isfinite(huge.fraction(1e300))) << high;
    for (const Tick& tick : huge.ticks) EXPECT_TRUE(std::isfinite(huge.fraction(tick.value)));
  }
  Axis tiny = log2Axis(4.94e-324, 8, "B", 12);
  EXPECT_GT(tiny.min, 0);
  EXPECT_TRUE(std::isfinite(tiny.fraction(8)));
}

TEST(ChartsGeometry, LinearAxisEndsOnARoundStep) {
  Axis axis = linearAxis(86.7e6, "", 5);
  EXPECT_EQ(std::make_pair(axis.min, axis.max), std::make_pair(0.0, 100e6));
  EXPECT_EQ(labels(axis), (std::vector<std::string>{"0", "20 M", "40 M", "60 M", "80 M", "100 M"}));
  EXPECT_EQ(linearAxis(7800, "", 4).max, 8000);
  EXPECT_EQ(linearAxis(2.3, "", 5).max, 2.5);
  // Not positive, not finite, steps below the normal numbers (4.94e-324 / 5 is 0), or
  // a round end that would be infinity: 0 to 1, with its ticks.
  for (double bad : {0.0, -5.0, NaN, Inf, 4.94e-324, 1e-310, 1.7e308}) {
    Axis fallback = linearAxis(bad, "", 5);
    EXPECT_EQ(std::make_pair(fallback.min, fallback.max), std::make_pair(0.0, 1.0)) << bad;
    EXPECT_EQ(fallback.ticks.size(), 6u) << bad;
  }
}

TEST(ChartsGeometry, ValuesOutsideWhatAMeasurementGivesAreLeftOut) {
  const struct {
    double value;
    ChartValue kind;
  } cases[] = {
      {0, ChartValue::NotMeasured},   {1, ChartValue::Drawn},         {64, ChartValue::Drawn},
      {2.5e9, ChartValue::Drawn},     {MinChartValue, ChartValue::Drawn},
      {MaxChartValue, ChartValue::Drawn},
      {NaN, ChartValue::LeftOut},     {Inf, ChartValue::LeftOut},     {-Inf, ChartValue::LeftOut},
      {-1, ChartValue::LeftOut},      {4.94e-324, ChartValue::LeftOut},
      {1e-7, ChartValue::LeftOut},    {1e308, ChartValue::LeftOut},   {2e15, ChartValue::LeftOut},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(chartValueKind(c.value), c.kind) << c.value;
    EXPECT_EQ(drawable(c.value), c.kind == ChartValue::Drawn) << c.value;
  }
}

TEST(ChartsGeometry, UnmeasuredAndNotANumberValuesBreakTheLine) {
  using Runs = std::vector<std::pair<size_t, size_t>>;
  EXPECT_EQ(lineRuns({1, 2, 3}), (Runs{{0, 2}}));
  EXPECT_EQ(lineRuns({1, 0, 3, 4}), (Runs{{0, 0}, {2, 3}}));
  EXPECT_EQ(lineRuns({NaN, 5, Inf, -1, 7}), (Runs{{1, 1}, {4, 4}}));
  EXPECT_TRUE(lineRuns({0, NaN}).empty());
  EXPECT_TRUE(lineRuns({}).empty());

  std::vector<double> a{1, NaN, 9}, b{Inf, 4, 1e308};
  EXPECT_EQ(largestDrawable({&a, &b}), 9);
  std::vector<double> none{0, NaN};
  EXPECT_EQ(largestDrawable({&none, nullptr}), 0);
}

}  // namespace

// Ratio axes always show 1 and a margin, in tenths, with plain decimal labels; a range
// that would be nothing but noise still gets its ticks.
TEST(ChartsGeometry, RatioAxisFramesOneWithPlainLabels) {
  const Axis around = ratioAxis(0.77, 1.02);
  EXPECT_DOUBLE_EQ(around.min, 0.7);
  EXPECT_DOUBLE_EQ(around.max, 1.1);
  ASSERT_EQ(around.ticks.size(), 9u);  // every 0.05 over a narrow range
  EXPECT_EQ(around.ticks.front().label, "0.70");
  EXPECT_EQ(around.ticks.back().label, "1.10");
  EXPECT_TRUE(around.contains(1.0));
  const Axis wide = ratioAxis(0.2, 1.6);
  EXPECT_DOUBLE_EQ(wide.min, 0.2);
  EXPECT_DOUBLE_EQ(wide.max, 1.6);
  EXPECT_EQ(wide.ticks[1].label, "0.30");  // every 0.1 over a wide one
  const Axis broken = ratioAxis(std::nan(""), HUGE_VAL);
  EXPECT_DOUBLE_EQ(broken.min, 0.9);
  EXPECT_DOUBLE_EQ(broken.max, 1.1);
  EXPECT_DOUBLE_EQ(ratioAxis(-5.0, 50.0).max, 10.0);
}

// The log ratio axis of the A/B forest plot, at any range: ticks in order on the axis, 1
// among them when the axis holds it, plain decimal labels that say the tick's value, and
// no two labels closer than a few pixels (measured here at the 12 px font's 6.7 px digit
// width, not with the chooser's own rounder estimate).
TEST(ChartsGeometry, LogRatioAxisLabelsNeverOverlapAtAnyRange) {
  const std::regex plain("(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?");
  int ranges = 0;
  for (const double width : {200.0, 400.0, 760.0}) {
    for (double low = 0.001; low < 1000; low *= 1.37) {
      for (double high = low * 1.001; high <= 1000; high *= 1.29) {
        const Axis axis = logRatioAxis(low, high, width);
        const std::string range = std::to_string(low) + " to " + std::to_string(high);
        ++ranges;
        ASSERT_TRUE(axis.log2);
        EXPECT_EQ(axis.contains(1.0), low <= 1 && 1 <= high) << range;
        bool one = false;
        for (size_t i = 0; i < axis.ticks.size(); ++i) {
          const Tick& tick = axis.ticks[i];
          ASSERT_TRUE(std::regex_match(tick.label, plain)) << range << ": " << tick.label;
          EXPECT_NEAR(std::stod(tick.label), tick.value, 1e-12) << range;
          EXPECT_TRUE(axis.contains(tick.value)) << range << ": " << tick.label;
          one = one || tick.label == "1";
          if (i == 0) continue;
          const Tick& before = axis.ticks[i - 1];
          const double apart = (axis.fraction(tick.value) - axis.fraction(before.value)) * width;
          const double needed =
              6.7 * static_cast<double>(tick.label.size() + before.label.size()) / 2;
          EXPECT_GE(apart, needed + 4) << range << ": " << before.label << " " << tick.label;
        }
        EXPECT_EQ(one, axis.contains(1.0)) << range;
        // An axis about 1 that spans 2 % or more has something besides 1 to read, on
        // either side of it at the forest plot's width.
        if (low <= 0.99 && high >= 1.01) {
          EXPECT_GE(axis.ticks.size(), width >= 400 ? 3u : 2u) << range << " at " << width;
        }
      }
    }
  }
  EXPECT_GT(ranges, 1000);
}

// What the chooser picks: an even step about 1 on a narrow axis, the decades and 2 and 5
// times them on a wide one, fewer where the axis is shorter; a range that is no range of
// positive numbers gives 0.95 to 1.05.
TEST(ChartsGeometry, LogRatioAxisPicksEvenStepsNearOneAndDecadesFarFromIt) {
  using Labels = std::vector<std::string>;
  EXPECT_EQ(labels(logRatioAxis(0.97, 1.03, 400)),
            (Labels{"0.97", "0.98", "0.99", "1", "1.01", "1.02", "1.03"}));
  EXPECT_EQ(labels(logRatioAxis(0.97, 1.03, 150)), (Labels{"0.98", "1", "1.02"}));
  EXPECT_EQ(labels(logRatioAxis(0.02, 5, 400)),
            (Labels{"0.02", "0.05", "0.1", "0.2", "0.5", "1", "2", "5"}));
  EXPECT_EQ(labels(logRatioAxis(0.02, 5, 120)), (Labels{"0.1", "1"}));
  EXPECT_EQ(labels(logRatioAxis(0.5, 2, 400)),
            (Labels{"0.5", "0.6", "0.8", "1", "1.2", "1.4", "1.6", "1.8", "2"}));
  EXPECT_EQ(labels(logRatioAxis(0.998, 1.002, 400)),
            (Labels{"0.998", "0.999", "1", "1.001", "1.002"}));
  EXPECT_EQ(labels(logRatioAxis(1.5, 40, 400)), (Labels{"2", "5", "10", "20"}));
  for (const auto& broken : {std::pair{NaN, 2.0}, std::pair{-1.0, 2.0}, std::pair{0.5, Inf}}) {
    const Axis axis = logRatioAxis(broken.first, broken.second, 400);
    EXPECT_DOUBLE_EQ(axis.min, 0.95);
    EXPECT_DOUBLE_EQ(axis.max, 1.05);
  }
  const Axis outside = logRatioAxis(1e-9, 1e9, 400);
  EXPECT_DOUBLE_EQ(outside.min, 0.001);
  EXPECT_DOUBLE_EQ(outside.max, 1000);
}
