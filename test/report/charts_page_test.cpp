#include "report/charts_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

#include "report/report_files.h"

using namespace corvalis;

namespace {

using corvalis::testing::contains;
using corvalis::testing::occurrences;
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

Chart chartOf(std::vector<double> x, std::vector<double> y, std::vector<double> high = {},
              std::vector<double> marks = {}) {
  Chart chart;
  chart.title = "Texture cache: RGBA textures";
  chart.xTitle = "working set";
  chart.xUnit = "B";
  chart.yTitle = "texel fetches per second";
  chart.caption = "Caption.";
  ChartSeries series;
  series.name = "RGBA fetches/s";
  series.x = std::move(x);
  series.y = std::move(y);
  series.low.assign(high.size(), NaN);
  series.high = std::move(high);
  chart.series.push_back(series);
  for (double mark : marks) chart.marks.push_back({mark, "cache"});
  return chart;
}

// Values a damaged or edited data file can hold never reach the SVG as nan or
// infinity; each is counted in the note under the chart, and the rest is drawn.
TEST(ChartsPage, ValuesThatCannotBeDrawnAreLeftOutWithANote) {
  const struct {
    Chart chart;
    size_t leftOut;
    size_t markers;
  } cases[] = {
      {chartOf({4, 8, 16, 32}, {1e6, 2e6, 3e6, 4e6}), 0, 4},
      // A subnormal rate, a working set of 1e308, a rate that is not a number, a spread
      // up to 1e308, a mark at infinity.
      {chartOf({4, 8, 1e308, 32, 64}, {1e6, 4.94e-324, 2e6, NaN, 3e6}, {NaN, NaN, NaN, NaN, 1e308},
               {Inf}),
       5, 2},
      // Negative values and 0 ("not measured", no note) only.
      {chartOf({-4, 8, 16}, {1e6, -2e6, 0}), 2, 0},
      // Nothing drawable at all.
      {chartOf({4, 8}, {4.94e-324, 4.94e-324}), 2, 0},
  };
  for (const auto& c : cases) {
    const std::string page = chartsPageHtml("Corvalis 0.50: sweeps of t", {c.chart});
    EXPECT_FALSE(std::regex_search(page, std::regex("=\"[^\"]*(nan|inf)"))) << page;
    EXPECT_FALSE(std::regex_search(page, std::regex("[0-9]{40}"))) << "an absurd coordinate";
    const std::string note = c.leftOut == 1 ? "Left out of this chart: 1 value that"
                                            : "Left out of this chart: " +
                                                  std::to_string(c.leftOut) + " values that";
    EXPECT_EQ(occurrences(page, "Left out of this chart"), c.leftOut > 0 ? 1u : 0u) << page;
    EXPECT_EQ(occurrences(page, note), c.leftOut > 0 ? 1u : 0u) << page;
    EXPECT_EQ(occurrences(page, "<circle "), c.markers + 1) << "markers and the legend's: " << page;
    // The axes keep their tick labels (y labels end at x 84, x labels sit at y 338).
    EXPECT_GE(occurrences(page, "<text x=\"84.0\""), 2u) << page;
    EXPECT_GE(occurrences(page, "y=\"338.0\" text-anchor=\"middle\">"), 2u) << page;
  }
}

}  // namespace

namespace {

// The x and width of the forest plot's tolerance band, and the x of its line at 1.
struct BandPlace {
  double x = NaN, width = NaN, one = NaN;
};
BandPlace bandOf(const std::string& svg) {
  BandPlace place;
  std::smatch m;
  if (std::regex_search(svg, m,
                        std::regex("<rect x=\"([0-9.]+)\" y=\"[0-9.]+\" width=\"([0-9.]+)\""
                                   "[^>]*fill=\"#e4eef7\""))) {
    place.x = std::stod(m[1]);
    place.width = std::stod(m[2]);
  }
  if (std::regex_search(svg, m, std::regex("<line x1=\"([0-9.]+)\"[^>]*stroke=\"#666666\"")))
    place.one = std::stod(m[1]);
  return place;
}

Forest forestOf(double tolerancePercent, std::vector<double> ratios) {
  Forest forest;
  forest.title = "B/A";
  forest.tolerancePercent = tolerancePercent;
  for (double ratio : ratios)
    forest.rows.push_back({"Fillrate", "32:Col", ratio, ratio * 0.9, ratio * 1.1});
  return forest;
}

}  // namespace

// A band of 2 % on an axis from 0.02 to 5 would be three pixels wide: it is drawn wider,
// about the line at 1, and named above it; on an axis about 1 it keeps its true width.
// Tick labels are plain ratios, never milli-units.
TEST(ChartsPage, ForestPlotShowsANarrowToleranceBandAndPlainRatioTicks) {
  const std::string wide = forestSvg(forestOf(2, {0.02, 5}));
  const BandPlace band = bandOf(wide);
  EXPECT_GE(band.width, 8.0) << wide;
  EXPECT_NEAR(band.x + band.width / 2, band.one, 0.1) << wide;
  EXPECT_TRUE(contains(wide, ">\xB1" "2 %</text>")) << wide;
  for (const char* label : {">0.02</text>", ">0.1</text>", ">1</text>", ">5</text>"})
    EXPECT_TRUE(contains(wide, label)) << label;
  EXPECT_FALSE(std::regex_search(wide, std::regex("[0-9] m</text>"))) << wide;

  const std::string near = forestSvg(forestOf(5, {0.99, 1.01}));
  const BandPlace trueWidth = bandOf(near);
  EXPECT_GT(trueWidth.width, 100.0) << near;  // 0.95 to 1.05 of an axis about 0.87 to 1.13
  EXPECT_TRUE(contains(near, ">\xB1" "5 %</text>")) << near;
  EXPECT_TRUE(contains(near, ">0.95</text>")) << near;
}
