#pragma once
// The geometry of the charts page as pure logic: axis ranges and ticks, tick labels
// with the reports' prefixes, where a mark falls, and where a line must break.

#include <cstddef>
#include <string>
#include <vector>

namespace corvalis {

struct Tick {
  double value = 0;
  std::string label;
};

struct Axis {
  double min = 0;
  double max = 1;
  bool log2 = false;
  std::vector<Tick> ticks;
  // Where a value falls between min (0) and max (1); values outside give numbers
  // outside 0..1, a value a log axis cannot show (<= 0, nan) gives nan.
  double fraction(double value) const;
  // True when the value lies on the axis (0..1 after fraction).
  bool contains(double value) const;
};

// A tick label: the reports' prefixes (k, M, G ... or ki, Mi ... when 'binary') with
// the decimals that add nothing dropped ("2.500 M" -> "2.5 M"), then the unit.
std::string tickLabel(double value, bool binary, const std::string& unit);

// A log-2 axis from the power of two at or below 'low' to the one at or above 'high'
// (both made positive first), with a tick on powers of two, at most 'maxTicks' of
// them (every second, fourth ... power when there are more). Labels are binary. The
// ends stay finite powers of two (2^-1022 to 2^1023) whatever the values.
Axis log2Axis(double low, double high, const std::string& unit, int maxTicks);

// A linear axis from 0 to a round value at or above 'high' in steps of 1, 2, 2.5 or
// 5 times a power of ten, about 'targetTicks' steps. A 'high' that is not a positive
// number up to 1e300, or so small that its steps are no normal numbers, gives 0 to 1.
// Labels are decimal.
Axis linearAxis(double high, const std::string& unit, int targetTicks);

// A linear axis for ratios around 1 (offset / aligned, rate after / before): from a
// tenth at or below the smaller of 'low' and 0.9 to a tenth at or above the larger of
// 'high' and 1.1, ticks every 0.05 or 0.1, labels as plain decimals ("0.85"). Values
// that are not finite are ignored; nothing below 0 or above 10 is shown.
Axis ratioAxis(double low, double high);

// A log axis for ratios from 'low' to 'high' (each kept within 0.001 to 1000), drawn
// 'width' px wide: ticks at round ratios labelled as plain decimals ("0.02", "0.5",
// "1", "1.05"), 1 among them whenever it lies on the axis, and only as many as keep
// every label a gap clear of its neighbours (TickLabelWidth). Besides 1, the powers of
// ten, then 2 and 5 times them where all fit, and the finest even step about 1 (0.5 ...
// 0.001) whose ticks all fit with those. Values that are not positive numbers give
// 0.95 to 1.05.
Axis logRatioAxis(double low, double high, double width);

// The room a tick label takes on an axis: its characters at 7 px (the 12 px sans-serif
// the charts use, digits rounded up), and the least gap between two labels.
double tickLabelWidth(const std::string& label);
constexpr double TickLabelGap = 10;

// The values a chart draws: what a measurement can give. Rates, sizes and byte counts
// are above 0 and far below 1e15; 0 stands for "not measured". Anything else (not a
// number, infinity, a negative, a subnormal like 4.94e-324, 1e308) can only come from
// a damaged or edited data file: it is left out, and the chart says so under it.
constexpr double MinChartValue = 1e-6;
constexpr double MaxChartValue = 1e15;
enum class ChartValue { Drawn, NotMeasured, LeftOut };
ChartValue chartValueKind(double value);

// True for a value a chart can draw (chartValueKind Drawn).
bool drawable(double value);

// The runs of consecutive drawable values: indices [first, last] of each run. A value
// that cannot be drawn breaks the line, so a gap never becomes a drop to zero.
std::vector<std::pair<size_t, size_t>> lineRuns(const std::vector<double>& values);

// The largest drawable value among several series, also counting their upper
// spreads; 0 when none.
double largestDrawable(const std::vector<const std::vector<double>*>& series);

}  // namespace corvalis
