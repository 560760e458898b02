#include "report/charts_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

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
