#include "report/charts_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "framework/format.h"
#include "framework/sample_stats.h"
#include "report/charts_geometry.h"
#include "report/data_files.h"
#include "report/html_writer.h"
#include "report/output_file.h"
#include "report/result_report.h"
#include "report/run_files.h"
#include "report/run_json.h"

namespace corvalis {

namespace {

// Plot area inside the SVG.
constexpr double SvgWidth = 760, SvgHeight = 400;
constexpr double PlotLeft = 90, PlotRight = 740, PlotTop = 40, PlotBottom = 320;

// Series styles that stay apart in grey-scale print: luminance, dash and marker differ.
struct SeriesStyle {
  const char* colour;
  const char* dash;
  int marker;  // 0 filled circle, 1 open square, 2 filled triangle, 3 open diamond
};
const SeriesStyle styles[] = {
    {"#000000", "", 0}, {"#0072b2", "8 4", 1}, {"#d55e00", "2 3", 2}, {"#7f7f7f", "12 3 3 3", 3}};

std::string num(double v) { return formatC("%.1f", v); }

std::string marker(int kind, double x, double y, const char* colour) {
  switch (kind) {
    case 1:
      return "<rect x=\"" + num(x - 4) + "\" y=\"" + num(y - 4) +
             "\" width=\"8\" height=\"8\" fill=\"white\" stroke=\"" + colour + "\"/>";
    case 2:
      return "<path d=\"M" + num(x) + " " + num(y - 5) + "L" + num(x + 5) + " " + num(y + 4) +
             "L" + num(x - 5) + " " + num(y + 4) + "Z\" fill=\"" + colour + "\"/>";
    case 3:
      return "<path d=\"M" + num(x) + " " + num(y - 5) + "L" + num(x + 5) + " " + num(y) + "L" +
             num(x) + " " + num(y + 5) + "L" + num(x - 5) + " " + num(y) +
             "Z\" fill=\"white\" stroke=\"" + colour + "\"/>";
    default:
      return "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"3.5\" fill=\"" + colour +
             "\"/>";
  }
}

double at(const std::vector<double>& values, size_t i) {
  return i < values.size() ? values[i] : std::nan("");
}

// Axis lines, grid, ticks and titles.
std::string axesSvg(const Axis& xAxis, const Axis& yAxis, const Chart& chart) {
  std::string svg;
  for (const Tick& tick : yAxis.ticks) {
    double y = PlotBottom - yAxis.fraction(tick.value) * (PlotBottom - PlotTop);
    svg += "<line x1=\"" + num(PlotLeft) + "\" y1=\"" + num(y) + "\" x2=\"" + num(PlotRight) +
           "\" y2=\"" + num(y) + "\" stroke=\"#dddddd\"/>\n";
    svg += "<text x=\"" + num(PlotLeft - 6) + "\" y=\"" + num(y + 4) +
           "\" text-anchor=\"end\">" + escapeHtml(tick.label) + "</text>\n";
  }
  for (const Tick& tick : xAxis.ticks) {
    double x = PlotLeft + xAxis.fraction(tick.value) * (PlotRight - PlotLeft);
    svg += "<line x1=\"" + num(x) + "\" y1=\"" + num(PlotBottom) + "\" x2=\"" + num(x) +
           "\" y2=\"" + num(PlotBottom + 5) + "\" stroke=\"black\"/>\n";
    svg += "<text x=\"" + num(x) + "\" y=\"" + num(PlotBottom + 18) +
           "\" text-anchor=\"middle\">" + escapeHtml(tick.label) + "</text>\n";
  }
  svg += "<path d=\"M" + num(PlotLeft) + " " + num(PlotTop) + "V" + num(PlotBottom) + "H" +
         num(PlotRight) + "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += "<text x=\"" + num((PlotLeft + PlotRight) / 2) + "\" y=\"" + num(PlotBottom + 38) +
         "\" text-anchor=\"middle\">" + escapeHtml(chart.xTitle) + " (log scale)</text>\n";
  svg += "<text x=\"16\" y=\"" + num((PlotTop + PlotBottom) / 2) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 16 " +
         num((PlotTop + PlotBottom) / 2) + ")\">" + escapeHtml(chart.yTitle) + "</text>\n";
  svg += "<text x=\"" + num(PlotLeft) + "\" y=\"22\" font-weight=\"bold\">" +
         escapeHtml(chart.title) + "</text>\n";
  return svg;
}

// One series: its line broken at gaps, its error bars and its markers.
std::string seriesSvg(const ChartSeries& series, const SeriesStyle& style, const Axis& xAxis,
                      const Axis& yAxis) {
  auto px = [&](double x) { return PlotLeft + xAxis.fraction(x) * (PlotRight - PlotLeft); };
  auto py = [&](double y) { return PlotBottom - yAxis.fraction(y) * (PlotBottom - PlotTop); };
  std::string svg;
  std::vector<double> ys = series.y;
  for (size_t i = 0; i < ys.size(); ++i)
    if (!drawable(at(series.x, i))) ys[i] = std::nan("");
  for (const auto& run : lineRuns(ys)) {
    if (run.first == run.second) continue;  // a lone point: marker only
    std::string points;
    for (size_t i = run.first; i <= run.second; ++i)
      points += num(px(series.x[i])) + "," + num(py(ys[i])) + " ";
    svg += "<polyline fill=\"none\" stroke=\"" + std::string(style.colour) +
           "\" stroke-width=\"1.8\"" +
           (*style.dash ? " stroke-dasharray=\"" + std::string(style.dash) + "\"" : "") +
           " points=\"" + points + "\"/>\n";
  }
  for (size_t i = 0; i < ys.size(); ++i) {
    if (!drawable(ys[i])) continue;
    double low = at(series.low, i), high = at(series.high, i);
    if (drawable(high) && chartValueKind(low) != ChartValue::LeftOut && high > low) {
      double x = px(series.x[i]);
      svg += "<path d=\"M" + num(x) + " " + num(py(std::max(low, 0.0))) + "V" + num(py(high)) +
             "M" + num(x - 4) + " " + num(py(high)) + "h8M" + num(x - 4) + " " +
             num(py(std::max(low, 0.0))) + "h8\" stroke=\"" + style.colour + "\"/>\n";
    }
    svg += marker(style.marker, px(series.x[i]), py(ys[i]), style.colour) + "\n";
  }
  return svg;
}

std::string legendSvg(const Chart& chart) {
  std::string svg;
  double x = PlotLeft;
  const double y = PlotBottom + 62;
  for (size_t s = 0; s < chart.series.size(); ++s) {
    const SeriesStyle& style = styles[s % 4];
    svg += "<line x1=\"" + num(x) + "\" y1=\"" + num(y - 4) + "\" x2=\"" + num(x + 30) +
           "\" y2=\"" + num(y - 4) + "\" stroke=\"" + style.colour + "\" stroke-width=\"1.8\"" +
           (*style.dash ? " stroke-dasharray=\"" + std::string(style.dash) + "\"" : "") + "/>";
    svg += marker(style.marker, x + 15, y - 4, style.colour);
    svg += "<text x=\"" + num(x + 36) + "\" y=\"" + num(y) + "\">" +
           escapeHtml(chart.series[s].name) + "</text>\n";
    x += 46 + 7.0 * static_cast<double>(chart.series[s].name.size());
  }
  // The horizontal lines, which carry no label in the plot where points would cover it.
  for (const ChartLevel& level : chart.levels) {
    svg += "<line x1=\"" + num(x) + "\" y1=\"" + num(y - 4) + "\" x2=\"" + num(x + 30) +
           "\" y2=\"" + num(y - 4) + "\" stroke=\"#666666\" stroke-width=\"1.2\"" +
           (level.dotted ? " stroke-dasharray=\"2 3\"" : "") + "/>";
    svg += "<text x=\"" + num(x + 36) + "\" y=\"" + num(y) + "\">" + escapeHtml(level.label) +
           "</text>\n";
    x += 46 + 7.0 * static_cast<double>(level.label.size());
  }
  return svg;
}

// Detected sizes as dashed vertical lines with their label at the top.
std::string marksSvg(const Chart& chart, const Axis& xAxis) {
  std::string svg;
  for (size_t m = 0; m < chart.marks.size(); ++m) {
    const ChartMark& mark = chart.marks[m];
    if (!drawable(mark.x) || !xAxis.contains(mark.x)) continue;
    double x = PlotLeft + xAxis.fraction(mark.x) * (PlotRight - PlotLeft);
    double labelY = PlotTop - 4 + 14.0 * static_cast<double>(m);
    svg += "<line x1=\"" + num(x) + "\" y1=\"" + num(PlotTop) + "\" x2=\"" + num(x) +
           "\" y2=\"" + num(PlotBottom) +
           "\" stroke=\"#444444\" stroke-width=\"1.2\" stroke-dasharray=\"4 3\"/>\n";
    // A label near the right edge is written leftwards so that it stays on the page.
    const bool leftwards = x > (PlotLeft + PlotRight) / 2;
    svg += "<text x=\"" + num(leftwards ? x - 4 : x + 4) + "\" y=\"" + num(labelY + 10) +
           "\" font-style=\"italic\"" + (leftwards ? " text-anchor=\"end\"" : "") + ">" +
           escapeHtml(mark.label) + "</text>\n";
  }
  return svg;
}

// Shaded bands, drawn under everything else, with their label under them at the left.
std::string bandsSvg(const Chart& chart, const Axis& yAxis) {
  std::string svg;
  auto py = [&](double y) { return PlotBottom - yAxis.fraction(y) * (PlotBottom - PlotTop); };
  for (const ChartBand& band : chart.bands) {
    if (!drawable(band.low) || !drawable(band.high) || !(band.high > band.low)) continue;
    const double top = std::clamp(py(band.high), PlotTop, PlotBottom);
    const double bottom = std::clamp(py(band.low), PlotTop, PlotBottom);
    if (!(bottom > top)) continue;
    svg += "<rect x=\"" + num(PlotLeft) + "\" y=\"" + num(top) + "\" width=\"" +
           num(PlotRight - PlotLeft) + "\" height=\"" + num(bottom - top) +
           "\" fill=\"#e4eef7\"/>\n";
    // The label sits under the band, clear of the curve that runs through it.
    svg += "<text x=\"" + num(PlotLeft + 6) + "\" y=\"" + num(std::min(bottom + 14, PlotBottom - 4)) +
           "\" fill=\"#33557a\">" + escapeHtml(band.label) + "</text>\n";
  }
  return svg;
}

// Horizontal lines across the plot; their labels are in the legend.
std::string levelsSvg(const Chart& chart, const Axis& yAxis) {
  std::string svg;
  for (const ChartLevel& level : chart.levels) {
    if (!drawable(level.y) || !yAxis.contains(level.y)) continue;
    const double y = PlotBottom - yAxis.fraction(level.y) * (PlotBottom - PlotTop);
    svg += "<line x1=\"" + num(PlotLeft) + "\" y1=\"" + num(y) + "\" x2=\"" + num(PlotRight) +
           "\" y2=\"" + num(y) + "\" stroke=\"#666666\" stroke-width=\"1.2\"" +
           (level.dotted ? " stroke-dasharray=\"2 3\"" : "") + "/>\n";
  }
  return svg;
}

// The detected size of a text-report key in base units; 0 when absent or not a number.
double detectedValue(const TextReport& report, const std::string& key) {
  const std::string* text = report.find(key);
  double value = 0;
  std::string unit;
  if (text == nullptr || !parseReportValue(*text, value, unit) || !drawable(value)) return 0;
  return value;
}

const std::map<std::string, Spread>* sweepRow(const RunSamples& samples, const char* suffix,
                                              size_t row) {
  auto sweep = samples.sweeps.find(suffix);
  if (sweep == samples.sweeps.end() || row >= sweep->second.size()) return nullptr;
  return &sweep->second[row];
}

// A point's error bar: the 95 % interval of the median of its samples where BASE.json
// lists them (the value is their median), else their lowest and highest.
void addSpread(ChartSeries& series, const std::map<std::string, Spread>* row, const char* field) {
  double low = std::nan(""), high = std::nan("");
  if (row != nullptr) {
    auto it = row->find(field);
    if (it != row->end()) {
      low = it->second.low;
      high = it->second.high;
      if (it->second.samples.size() >= 2) {
        const MedianInterval interval = medianInterval(it->second.samples);
        if (std::isfinite(interval.low) && std::isfinite(interval.high)) {
          low = interval.low;
          high = interval.high;
        }
      }
    }
  }
  series.low.push_back(low);
  series.high.push_back(high);
}

// The evidence of a detection measured with repeats, when BASE.json has it. A single
// run's evidence rests on its one sweep, which the chart shows as it is; the captions
// speak of rounds and slices.
const Evidence* evidenceOf(const RunSamples& samples, const std::string& key) {
  if (samples.repeat == 1) return nullptr;
  auto found = samples.evidence.find(key);
  return found == samples.evidence.end() ? nullptr : &found->second;
}

std::string ratioText(const StepEstimate& step) {
  return formatC("%.3f [%.3f, %.3f]", step.ratio, step.low, step.high);
}

// Where a step is, in the caption's words: a block size, or the working set after which
// the rate falls.
std::string placeText(const StepEstimate& step, bool bytes) {
  return bytes ? "after " + tickLabel(step.position, true, "B")
               : tickLabel(step.position, false, "px");
}

// The noise band and the deciding step of a cache sweep measured in rounds, drawn into
// the chart; returns the caption's account of them. The band hangs from the rate before
// the chosen drop, or from the curve's median where none was chosen.
std::string cacheEvidence(Chart& chart, const std::vector<CacheRow>& rows, const Evidence& evidence) {
  std::vector<double> rates;
  double level = 0;
  for (const CacheRow& row : rows) {
    if (!drawable(row.rate)) continue;
    rates.push_back(row.rate);
    if (evidence.step && row.bytes == evidence.step->position) level = row.rate;
  }
  if (evidence.confidence != Confidence::Clear || level == 0)
    level = rates.empty() ? 0 : summarizeSamples(rates).median;
  const double band = 100.0 * (1.0 - evidence.threshold);
  if (level > 0)
    chart.bands.push_back(
        {level * evidence.threshold, level, formatC("a fall within %.1f %% is noise", band)});
  if (evidence.step && evidence.confidence != Confidence::Clear)
    chart.marks.push_back({evidence.step->position, formatC("deepest step %.2f", evidence.step->ratio)});

  std::string text = formatC(
      "Measured in rounds, each drop judged round by round: a drop counts beyond %.1f %% (at "
      "least 5 %%, three times the curve's noise of %.1f %%) over the next two sizes. ",
      band, 100.0 * evidence.noise);
  if (!evidence.step) return text + "No step was measured.";
  const std::string fall = "a fall to " + ratioText(*evidence.step) + " " +
                           placeText(*evidence.step, true);
  switch (evidence.confidence) {
    case Confidence::Clear:
      return text + "The rate shows " + fall + " and stays down: the texture cache holds " +
             tickLabel(evidence.step->position, true, "B") + " (clear).";
    case Confidence::Uncertain:
      return text + "The rate shows " + fall +
             ", but not beyond the noise or not at one size alone: no cache size detected "
             "(uncertain).";
    case Confidence::None:
      break;
  }
  return text + "The deepest step, " + fall + ", stays within the noise: no cache size detected.";
}

Chart cacheChart(const DataFileKind& file, const std::vector<CacheRow>& rows,
                 const TextReport& report, const RunSamples& samples) {
  Chart chart;
  chart.title = std::string("Texture cache: ") + file.title;
  chart.xTitle = "working set";
  chart.xUnit = "B";
  chart.yTitle = "texel fetches per second";
  chart.yUnit = "";
  ChartSeries series;
  series.name = std::string(file.key) + " fetches/s";
  for (size_t i = 0; i < rows.size(); ++i) {
    series.x.push_back(rows[i].bytes);
    series.y.push_back(rows[i].rate);
    addSpread(series, sweepRow(samples, file.name, i), "rate");
  }
  chart.series.push_back(series);
  const double detected = detectedValue(report, std::string("TexCache:") + file.key);
  if (detected > 0) chart.marks.push_back({detected, "cache " + tickLabel(detected, true, "B")});

  double best = 0, bestBytes = 0;
  for (const CacheRow& row : rows)
    if (drawable(row.rate) && row.rate > best) best = row.rate, bestBytes = row.bytes;
  std::string caption = std::to_string(rows.size()) + " working-set sizes";
  if (!rows.empty())
    caption += " from " + tickLabel(rows.front().bytes, true, "B") + " to " +
               tickLabel(rows.back().bytes, true, "B");
  caption += best > 0 ? "; the highest rate, " + tickLabel(best, false, "fetches/s") + ", at " +
                            tickLabel(bestBytes, true, "B") + ". "
                      : "; no rate was measured. ";
  const Evidence* evidence = evidenceOf(samples, std::string("TexCache:") + file.key);
  if (evidence) {
    caption += cacheEvidence(chart, rows, *evidence);
  } else {
    caption += detected > 0 ? "The rate falls once the working set outgrows " +
                                  tickLabel(detected, true, "B") +
                                  ": that is the detected texture cache size."
                            : "No step in the rate was found: no cache size detected.";
  }
  chart.caption = caption;
  return chart;
}

// One direction of a tile chart in words: what was found and, with repeats, why.
std::string tileDirectionText(const char* direction, double found, const Evidence* evidence) {
  std::string text = std::string(direction) + ": ";
  if (!evidence) return text + (found > 0 ? tickLabel(found, false, "px") : "none detected") + ". ";
  const char* word = confidenceWord(evidence->confidence);
  if (evidence->confidence == Confidence::Clear && evidence->step) {
    text += tickLabel(found, false, "px") + ", " + word + ": " + ratioText(*evidence->step);
    if (evidence->runnerUp)
      text += "; runner-up " + placeText(*evidence->runnerUp, false) + " at " +
              formatC("%.3f", evidence->runnerUp->ratio);
    return text + ". ";
  }
  if (evidence->confidence == Confidence::Uncertain && evidence->step) {
    text += std::string("none, ") + word + ": the deepest block, " +
            placeText(*evidence->step, false) + " at " + ratioText(*evidence->step);
    if (evidence->runnerUp)
      text += ", is not apart from " + placeText(*evidence->runnerUp, false) + " at " +
              ratioText(*evidence->runnerUp);
    return text + ". ";
  }
  return text + "none: no block's offset strips run more than 1.5 % slower. ";
}

// offset / aligned at one block: the median of the paired slices with its interval where
// BASE.json lists them, else the ratio of the data file's rates; 0 (a gap) for a block
// that was not measured.
void addTileRatio(ChartSeries& series, double block, double aligned, double offset,
                  const std::map<std::string, Spread>* row, const char* alignedField,
                  const char* offsetField) {
  series.x.push_back(block);
  double ratio = aligned > 0 && offset > 0 ? offset / aligned : 0.0;
  double low = std::nan(""), high = std::nan("");
  if (row != nullptr && ratio > 0) {
    auto a = row->find(alignedField), o = row->find(offsetField);
    if (a != row->end() && o != row->end() && a->second.samples.size() >= 2 &&
        a->second.samples.size() == o->second.samples.size()) {
      std::vector<double> pairs;
      for (size_t i = 0; i < a->second.samples.size(); ++i)
        pairs.push_back(o->second.samples[i] / a->second.samples[i]);
      const MedianInterval interval = medianInterval(pairs);
      if (std::isfinite(interval.median)) {
        ratio = interval.median;
        low = interval.low;
        high = interval.high;
      }
    }
  }
  series.y.push_back(ratio);
  series.low.push_back(low);
  series.high.push_back(high);
}

Chart tileChart(const DataFileKind& file, const std::vector<TileRow>& rows, const TextReport& report,
                const RunSamples& samples) {
  Chart chart;
  chart.title = std::string("Tiling: ") + file.title;
  chart.xTitle = "block size";
  chart.xUnit = "px";
  chart.yTitle = "offset / aligned rate";
  chart.ratioAxis = true;
  ChartSeries columns, bands;
  columns.name = "columns (width)";
  bands.name = "rows (height)";
  for (size_t i = 0; i < rows.size(); ++i) {
    const TileRow& r = rows[i];
    const auto* row = sweepRow(samples, file.name, i);
    addTileRatio(columns, r.block, r.widthAligned, r.widthOffset, row, "widthAligned", "widthOffset");
    addTileRatio(bands, r.block, r.heightAligned, r.heightOffset, row, "heightAligned", "heightOffset");
  }
  chart.series = {columns, bands};
  chart.levels.push_back({1.0, "no difference", false});
  chart.levels.push_back({0.985, "threshold 0.985", true});
  const std::string key = std::string("Tiling:") + file.key + ":";
  const double width = detectedValue(report, key + "Width");
  const double height = detectedValue(report, key + "Height");
  if (width > 0) chart.marks.push_back({width, "tile width " + tickLabel(width, false, "px")});
  if (height > 0) chart.marks.push_back({height, "tile height " + tickLabel(height, false, "px")});
  const Evidence* widthEvidence = evidenceOf(samples, key + "Width");
  const Evidence* heightEvidence = evidenceOf(samples, key + "Height");
  std::string caption =
      "How much slower strips offset by half a block run than aligned ones, for block sizes "
      "64 down to 2 pixels: below 1 where a strip straddles two tiles";
  caption += widthEvidence || heightEvidence
                 ? " (the median of the paired slices, with its 95 % interval). "
                 : " (one measurement each). ";
  caption += tileDirectionText("Columns", width, widthEvidence);
  caption += tileDirectionText("Rows", height, heightEvidence);
  if (width > 0 && height > 0)
    caption += "Tiles of " + tickLabel(width, false, "") + " x " + tickLabel(height, false, "") +
               " pixels.";
  while (!caption.empty() && caption.back() == ' ') caption.pop_back();
  chart.caption = caption;
  return chart;
}

// How many values of a chart cannot be drawn (chartValueKind LeftOut): points whose x
// or y is one, spreads with an end that is one (a nan spread end means "no spread"),
// marks that are one.
size_t leftOutValues(const Chart& chart) {
  auto leftOut = [](double v) { return chartValueKind(v) == ChartValue::LeftOut; };
  auto leftOutEnd = [&](double v) { return !std::isnan(v) && leftOut(v); };
  size_t count = 0;
  for (const ChartSeries& series : chart.series) {
    for (size_t i = 0; i < std::max(series.x.size(), series.y.size()); ++i)
      if (leftOut(at(series.x, i)) || leftOut(at(series.y, i))) ++count;
    for (size_t i = 0; i < std::max(series.low.size(), series.high.size()); ++i)
      if (leftOutEnd(at(series.low, i)) || leftOutEnd(at(series.high, i))) ++count;
  }
  for (const ChartMark& mark : chart.marks) count += leftOut(mark.x) ? 1 : 0;
  return count;
}

// The note under a chart that left values out; empty when it drew everything.
std::string leftOutNote(const Chart& chart) {
  const size_t count = leftOutValues(chart);
  if (count == 0) return "";
  return " Left out of this chart: " + std::to_string(count) + (count == 1 ? " value" : " values") +
         " that no measurement gives (not a number, infinite, negative, or outside 1e-6 to "
         "1e15).";
}

// A ratio axis wide enough for every point, interval, line and band.
Axis ratioAxisOf(const Chart& chart) {
  double low = 1.0, high = 1.0;
  const auto take = [&](double v) {
    if (!drawable(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  };
  for (const ChartSeries& series : chart.series) {
    for (double v : series.y) take(v);
    for (double v : series.low) take(v);
    for (double v : series.high) take(v);
  }
  for (const ChartLevel& level : chart.levels) take(level.y);
  for (const ChartBand& band : chart.bands) take(band.low), take(band.high);
  return ratioAxis(low, high);
}

// A rate axis from 0 to a little above the highest point, spread or band.
Axis rateAxisOf(const Chart& chart, const std::vector<const std::vector<double>*>& ys,
                const std::vector<const std::vector<double>*>& highs) {
  double yHigh = std::max(largestDrawable(ys), largestDrawable(highs));
  for (const ChartBand& band : chart.bands)
    if (drawable(band.high)) yHigh = std::max(yHigh, band.high);
  return linearAxis(yHigh * 1.05, chart.yUnit, 5);
}

}  // namespace

std::string chartSvg(const Chart& chart) {
  std::vector<const std::vector<double>*> ys, highs;
  double xLow = 0, xHigh = 0;
  bool anyX = false;
  for (const ChartSeries& series : chart.series) {
    ys.push_back(&series.y);
    highs.push_back(&series.high);
    for (double x : series.x) {
      if (!drawable(x)) continue;
      xLow = anyX ? std::min(xLow, x) : x;
      xHigh = anyX ? std::max(xHigh, x) : x;
      anyX = true;
    }
  }
  for (const ChartMark& mark : chart.marks) {
    if (!drawable(mark.x)) continue;
    xLow = anyX ? std::min(xLow, mark.x) : mark.x;
    xHigh = anyX ? std::max(xHigh, mark.x) : mark.x;
    anyX = true;
  }
  const Axis xAxis = log2Axis(xLow, xHigh, chart.xUnit, 12);
  const Axis yAxis = chart.ratioAxis ? ratioAxisOf(chart) : rateAxisOf(chart, ys, highs);

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(SvgWidth) +
                    "\" height=\"" + num(SvgHeight) + "\" viewBox=\"0 0 " + num(SvgWidth) + " " +
                    num(SvgHeight) + "\" font-family=\"sans-serif\" font-size=\"12\" role=\"img\">\n";
  svg += "<title>" + escapeHtml(chart.title) + "</title>\n";
  svg += bandsSvg(chart, yAxis);
  svg += axesSvg(xAxis, yAxis, chart);
  svg += levelsSvg(chart, yAxis);
  svg += marksSvg(chart, xAxis);
  for (size_t s = 0; s < chart.series.size(); ++s)
    svg += seriesSvg(chart.series[s], styles[s % 4], xAxis, yAxis);
  svg += legendSvg(chart);
  svg += "</svg>\n";
  return svg;
}

namespace {

// The forest plot's layout: labels on the left, the ratio axis on the right.
constexpr double ForestLabelRight = 330, ForestLeft = 340, ForestRight = 740;
constexpr double ForestTop = 40, ForestRowHeight = 18;

// A log axis over the ratios, the band and 1, its ticks at round ratios within it.
Axis forestAxis(const Forest& forest) {
  const double band = forest.tolerancePercent / 100.0;
  double low = std::min(0.95, 1.0 - band), high = std::max(1.05, 1.0 + band);
  for (const ForestRow& row : forest.rows)
    for (double v : {row.ratio, row.low, row.high})
      if (drawable(v) && v >= 0.01 && v <= 100) low = std::min(low, v), high = std::max(high, v);
  return logRatioAxis(low / 1.02, high * 1.02, ForestRight - ForestLeft);
}

// The tolerance band about 1, outlined, at least ForestMinBandWidth wide, and its
// width named above it ("+-2 %").
std::string forestBandSvg(const Forest& forest, const Axis& axis, double bottom) {
  const double band = forest.tolerancePercent / 100.0;
  if (!(band > 0 && band < 1)) return "";
  auto px = [&](double v) { return ForestLeft + axis.fraction(v) * (ForestRight - ForestLeft); };
  double left = std::max(px(1.0 - band), ForestLeft);
  double right = std::min(px(1.0 + band), ForestRight);
  if (right - left < ForestMinBandWidth) {
    left = px(1.0) - ForestMinBandWidth / 2;
    right = px(1.0) + ForestMinBandWidth / 2;
  }
  return "<rect x=\"" + num(left) + "\" y=\"" + num(ForestTop) + "\" width=\"" +
         num(right - left) + "\" height=\"" + num(bottom - ForestTop) +
         "\" fill=\"#e4eef7\" stroke=\"#8fb0d0\"/>\n<text x=\"" + num(px(1.0)) + "\" y=\"" +
         num(ForestTop - 4) + "\" text-anchor=\"middle\" fill=\"#4a6f94\">\xB1" +
         escapeHtml(tickLabel(forest.tolerancePercent, false, "%")) + "</text>\n";
}

}  // namespace

std::string forestSvg(const Forest& forest) {
  const Axis axis = forestAxis(forest);
  auto px = [&](double v) { return ForestLeft + axis.fraction(v) * (ForestRight - ForestLeft); };
  size_t lines = 0;
  std::string body;
  std::string group;
  for (size_t i = 0; i < forest.rows.size(); ++i) {
    const ForestRow& row = forest.rows[i];
    if (i == 0 || row.group != group) {
      group = row.group;
      body += "<text x=\"8\" y=\"" + num(ForestTop + ForestRowHeight * (lines + 0.7)) +
              "\" font-weight=\"bold\">" + escapeHtml(group) + "</text>\n";
      ++lines;
    }
    const double y = ForestTop + ForestRowHeight * (lines + 0.5);
    body += "<text x=\"" + num(ForestLabelRight) + "\" y=\"" + num(y + 4) +
            "\" text-anchor=\"end\">" + escapeHtml(row.label) + "</text>\n";
    if (drawable(row.low) && drawable(row.high) && row.high > row.low)
      body += "<path d=\"M" + num(px(row.low)) + " " + num(y) + "H" + num(px(row.high)) + "M" +
              num(px(row.low)) + " " + num(y - 4) + "v8M" + num(px(row.high)) + " " + num(y - 4) +
              "v8\" stroke=\"" + styles[0].colour + "\"/>\n";
    if (drawable(row.ratio)) body += marker(0, px(row.ratio), y, styles[0].colour) + "\n";
    ++lines;
  }
  const double bottom = ForestTop + ForestRowHeight * static_cast<double>(std::max<size_t>(lines, 1));
  const double height = bottom + 40;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(SvgWidth) +
                    "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(SvgWidth) + " " +
                    num(height) + "\" font-family=\"sans-serif\" font-size=\"12\" role=\"img\">\n";
  svg += "<title>" + escapeHtml(forest.title) + "</title>\n";
  svg += forestBandSvg(forest, axis, bottom);
  for (const Tick& tick : axis.ticks) {
    svg += "<line x1=\"" + num(px(tick.value)) + "\" y1=\"" + num(bottom) + "\" x2=\"" +
           num(px(tick.value)) + "\" y2=\"" + num(bottom + 5) + "\" stroke=\"black\"/>\n";
    svg += "<text x=\"" + num(px(tick.value)) + "\" y=\"" + num(bottom + 18) +
           "\" text-anchor=\"middle\">" + escapeHtml(tick.label) + "</text>\n";
  }
  svg += "<path d=\"M" + num(ForestLeft) + " " + num(bottom) + "H" + num(ForestRight) +
         "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += "<line x1=\"" + num(px(1.0)) + "\" y1=\"" + num(ForestTop) + "\" x2=\"" + num(px(1.0)) +
         "\" y2=\"" + num(bottom) + "\" stroke=\"#666666\" stroke-width=\"1.2\"/>\n";
  svg += "<text x=\"8\" y=\"22\" font-weight=\"bold\">" + escapeHtml(forest.title) +
         "</text>\n";
  svg += "<text x=\"" + num((ForestLeft + ForestRight) / 2) + "\" y=\"" + num(bottom + 34) +
         "\" text-anchor=\"middle\">B/A (log scale)</text>\n";
  return svg + body + "</svg>\n";
}

std::string chartsPageHtml(const std::string& heading, const std::vector<Chart>& charts) {
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n"
      "<title>" + escapeHtml(heading) + "</title>\n"
      "<style>body{font-family:sans-serif;margin:1em 2em}figure{margin:1.5em 0}"
      "figcaption{max-width:720px;margin-top:.3em}</style>\n</head>\n<body>\n"
      "<h1>" + escapeHtml(heading) + "</h1>\n";
  for (const Chart& chart : charts) {
    html += "<figure>\n" + chartSvg(chart);
    html += "<figcaption>" + escapeHtml(chart.caption + leftOutNote(chart)) +
            "</figcaption>\n</figure>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

bool collectCharts(const std::string& baseName, const std::vector<std::string>& dataFiles,
                   std::vector<Chart>& charts, std::string& error) {
  charts.clear();
  TextReport report;
  RunSamples samples;
  bool haveReport = false, jsonLoaded = false;
  // The text report and BASE.json are read once, when the first data file turns up.
  auto loadRun = [&]() -> bool {
    if (haveReport) return true;
    if (!readTextReport(baseName + ".txt", report, error)) return false;
    bool found = false;
    std::string jsonError;
    RunJsonParts parts;  // the charts draw the sweeps and the evidence alone
    parts.values = false;
    // A BASE.json that cannot be read leaves the charts without spreads, nothing worse.
    if (!jsonLoaded && !readRunJson(baseName + ".json", samples, found, jsonError, parts))
      samples = RunSamples();
    jsonLoaded = haveReport = true;
    return true;
  };
  auto fresh = [&](const std::string& path) {
    return std::find(dataFiles.begin(), dataFiles.end(), path) != dataFiles.end();
  };
  for (const DataFileKind& file : CacheDataFiles) {
    const std::string path = baseName + file.suffix;
    if (!fresh(path)) continue;
    std::string bytes;
    std::vector<CacheRow> rows;
    if (!readFileBytes(path, MaxDataFileBytes, "a data file", bytes, error) || !loadRun())
      return false;
    if (!parseCacheCsv(bytes, rows, error)) {
      error = path + ": " + error;
      return false;
    }
    charts.push_back(cacheChart(file, rows, report, samples));
  }
  for (const DataFileKind& file : TileDataFiles) {
    const std::string path = baseName + file.suffix;
    if (!fresh(path)) continue;
    std::string bytes;
    std::vector<TileRow> rows;
    if (!readFileBytes(path, MaxDataFileBytes, "a data file", bytes, error) || !loadRun())
      return false;
    if (!parseTileCsv(bytes, rows, error)) {
      error = path + ": " + error;
      return false;
    }
    charts.push_back(tileChart(file, rows, report, samples));
  }
  return true;
}

bool writeChartsPage(const std::string& baseName, const std::vector<std::string>& dataFiles,
                     bool& written, std::string& error) {
  written = false;
  std::vector<Chart> charts;
  if (!collectCharts(baseName, dataFiles, charts, error)) return false;
  if (charts.empty()) return true;
  // The whole page is composed first; a file is only created once there is one to write.
  const std::string heading = std::string(ProgramVersion) + ": sweeps of " + baseName;
  const std::string html = chartsPageHtml(heading, charts);
  const std::string path = baseName + ".charts.htm";
  // A page that cannot be written whole leaves the previous one as it was.
  OutputFile file;
  if (!file.open(path)) {
    error = file.error();
    return false;
  }
  file.write(html);
  if (!file.close()) {
    error = file.error();
    return false;
  }
  written = true;
  return true;
}

}  // namespace corvalis
