#include "report/charts_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/format.h"

namespace corvalis {

double Axis::fraction(double value) const {
  if (log2) {
    if (!(value > 0) || !(min > 0) || !(max > min)) return std::numeric_limits<double>::quiet_NaN();
    return (std::log2(value) - std::log2(min)) / (std::log2(max) - std::log2(min));
  }
  if (!(max > min) || !std::isfinite(value)) return std::numeric_limits<double>::quiet_NaN();
  return (value - min) / (max - min);
}

bool Axis::contains(double value) const {
  double f = fraction(value);
  return f >= -1e-9 && f <= 1 + 1e-9;
}

std::string tickLabel(double value, bool binary, const std::string& unit) {
  std::string text = binary ? formatBinary(value) : formatDecimal(value);
  // "2.500 M" -> "2.5 M", "20.000 M" -> "20 M", "1.500 " -> "1.5 ".
  size_t point = text.find('.');
  if (point != std::string::npos) {
    size_t end = text.find(' ', point);
    if (end == std::string::npos) end = text.size();
    size_t last = end;
    while (last > point + 1 && text[last - 1] == '0') --last;
    if (last == point + 1) last = point;
    text.erase(last, end - last);
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (unit.empty()) return text;
  // A prefix runs into the unit as in the summaries ("16 kiB"); a plain number gets a blank.
  bool prefixed = !text.empty() && !std::isdigit(static_cast<unsigned char>(text.back()));
  return text + (prefixed ? "" : " ") + unit;
}

Axis log2Axis(double low, double high, const std::string& unit, int maxTicks) {
  Axis axis;
  axis.log2 = true;
  low = std::fabs(low);
  high = std::fabs(high);
  if (!(low > 0) || !std::isfinite(low)) low = 1;
  if (!(high > 0) || !std::isfinite(high)) high = low;
  if (high < low) std::swap(low, high);
  // ldexp of an exponent beyond 1023 would be infinity, and every fraction then nan.
  int lowExp = std::clamp(static_cast<int>(std::floor(std::log2(low))), -1022, 1022);
  int highExp = std::clamp(static_cast<int>(std::ceil(std::log2(high))), -1022, 1023);
  if (highExp <= lowExp) highExp = lowExp + 1;
  axis.min = std::ldexp(1.0, lowExp);
  axis.max = std::ldexp(1.0, highExp);
  int every = 1;
  maxTicks = std::max(maxTicks, 2);
  while ((highExp - lowExp) / every + 1 > maxTicks) every *= 2;
  for (int e = lowExp; e <= highExp; e += every) {
    double value = std::ldexp(1.0, e);
    axis.ticks.push_back({value, tickLabel(value, true, unit)});
  }
  return axis;
}

Axis linearAxis(double high, const std::string& unit, int targetTicks) {
  Axis axis;
  axis.min = 0;
  targetTicks = std::max(targetTicks, 1);
  // A step that is no normal number (4.94e-324 / 5 is 0) has no power of ten, and a
  // round end above 1e300 may be infinity.
  if (!(high > 0) || !(high <= 1e300) ||
      !(high / targetTicks >= std::numeric_limits<double>::min()))
    high = 1;
  double raw = high / targetTicks;
  double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude * 10;
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (m * magnitude >= raw * (1 - 1e-12)) {
      step = m * magnitude;
      break;
    }
  }
  int steps = static_cast<int>(std::ceil(high / step - 1e-9));
  axis.max = steps * step;
  for (int i = 0; i <= steps; ++i) {
    double value = i * step;
    axis.ticks.push_back({value, tickLabel(value, false, unit)});
  }
  return axis;
}

Axis ratioAxis(double low, double high) {
  Axis axis;
  low = std::isfinite(low) ? std::clamp(std::min(low, 0.9), 0.0, 10.0) : 0.9;
  high = std::isfinite(high) ? std::clamp(std::max(high, 1.1), 0.0, 10.0) : 1.1;
  // Whole tenths, counted as integers so that the ticks land on round values.
  const int first = static_cast<int>(std::floor(low * 10.0 + 1e-9));
  const int last = std::max(static_cast<int>(std::ceil(high * 10.0 - 1e-9)), first + 1);
  axis.min = first / 10.0;
  axis.max = last / 10.0;
  const bool fine = last - first <= 6;  // a narrow range gets ticks every 0.05
  for (int twentieth = 2 * first; twentieth <= 2 * last; twentieth += fine ? 1 : 2) {
    const double value = twentieth / 20.0;
    axis.ticks.push_back({value, formatC("%.2f", value)});
  }
  return axis;
}

namespace {

// Ratios on a log axis, counted in thousandths so that every tick and its label is exact.
using Thousandths = long;

std::string thousandthsLabel(Thousandths t) {
  std::string text = std::to_string(t / 1000);
  const Thousandths rest = t % 1000;
  if (rest == 0) return text;
  std::string digits = formatC("%03ld", rest);
  digits.erase(digits.find_last_not_of('0') + 1);
  return text + "." + digits;
}

// The ticks at 'values' on the axis, when no two of their labels crowd each other.
bool ticksFit(const Axis& axis, double width, std::vector<Thousandths> values,
              std::vector<Tick>& ticks) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  std::vector<Tick> fitted;
  for (const Thousandths t : values) {
    const Tick tick{static_cast<double>(t) / 1000.0, thousandthsLabel(t)};
    if (!fitted.empty()) {
      const Tick& last = fitted.back();
      const double apart = (axis.fraction(tick.value) - axis.fraction(last.value)) * width;
      if (apart < (tickLabelWidth(last.label) + tickLabelWidth(tick.label)) / 2 + TickLabelGap)
        return false;
    }
    fitted.push_back(tick);
  }
  ticks = fitted;
  return true;
}

}  // namespace

double tickLabelWidth(const std::string& label) { return 7.0 * static_cast<double>(label.size()); }

Axis logRatioAxis(double low, double high, double width) {
  Axis axis;
  axis.log2 = true;
  if (!(low > 0) || !(high > 0) || !std::isfinite(low) || !std::isfinite(high)) {
    low = 0.95;
    high = 1.05;
  }
  axis.min = std::clamp(std::min(low, high), 0.001, 1000.0);
  axis.max = std::clamp(std::max(low, high), 0.001, 1000.0);
  if (axis.max <= axis.min) {
    axis.min = axis.max / 1.1;
    axis.max *= 1.1;
  }
  const auto first = static_cast<Thousandths>(std::ceil(axis.min * 1000 - 1e-6));
  const auto last = static_cast<Thousandths>(std::floor(axis.max * 1000 + 1e-6));
  const auto within = [&](Thousandths t) { return t >= first && t <= last; };
  // 1, then the powers of ten (every second or third one where all do not fit), then 2
  // and 5 times them where every power is a tick; each set only where it fits whole.
  std::vector<Thousandths> chosen;
  if (within(1000)) chosen.push_back(1000);
  ticksFit(axis, width, chosen, axis.ticks);
  static const Thousandths powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  for (const int every : {1, 2, 3}) {
    std::vector<Thousandths> more = chosen;
    for (int e = 0; e < 7; ++e)
      if ((e - 3) % every == 0 && within(powers[e])) more.push_back(powers[e]);
    if (!ticksFit(axis, width, more, axis.ticks)) continue;
    chosen = more;
    if (every > 1) break;
    for (const Thousandths power : powers)
      for (const Thousandths factor : {2, 5})
        if (within(power * factor)) more.push_back(power * factor);
    if (ticksFit(axis, width, more, axis.ticks)) chosen = more;
    break;
  }
  // Then the finest even step about 1 whose ticks all fit beside those; a step with more
  // ticks than the axis has room for is not tried.
  const double room = width / (tickLabelWidth("0") + TickLabelGap);
  for (const Thousandths step : {1, 2, 5, 10, 20, 50, 100, 200, 500}) {
    if (static_cast<double>(last - first) / static_cast<double>(step) > room) continue;
    std::vector<Thousandths> more = chosen;
    for (Thousandths t = 1000 - (1000 - first) / step * step; t <= last; t += step)
      if (within(t) && t > 0) more.push_back(t);
    if (ticksFit(axis, width, more, axis.ticks)) break;
  }
  return axis;
}

ChartValue chartValueKind(double value) {
  if (value == 0) return ChartValue::NotMeasured;
  if (value >= MinChartValue && value <= MaxChartValue) return ChartValue::Drawn;
  return ChartValue::LeftOut;  // nan fails both comparisons and lands here too
}

bool drawable(double value) { return chartValueKind(value) == ChartValue::Drawn; }

std::vector<std::pair<size_t, size_t>> lineRuns(const std::vector<double>& values) {
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t i = 0; i < values.size(); ++i) {
    if (!drawable(values[i])) continue;
    if (!runs.empty() && runs.back().second + 1 == i)
      runs.back().second = i;
    else
      runs.emplace_back(i, i);
  }
  return runs;
}

double largestDrawable(const std::vector<const std::vector<double>*>& series) {
  double largest = 0;
  for (const auto* values : series)
    if (values != nullptr)
      for (double v : *values)
        if (drawable(v)) largest = std::max(largest, v);
  return largest;
}

}  // namespace corvalis
