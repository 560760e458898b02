#pragma once
// BASE.charts.htm: one inline-SVG chart per data file a run wrote, built after the
// run from the files on disk (the CSVs, the text report for the detected sizes and
// BASE.json for the spreads when it is there).

#include <string>
#include <vector>

namespace corvalis {

struct ChartSeries {
  std::string name;
  std::vector<double> x, y;
  std::vector<double> low, high;  // spread per point; empty or nan where none
};

struct ChartMark {
  double x = 0;
  std::string label;
};

// A horizontal line across the plot: a reference (1: no difference) or a threshold.
struct ChartLevel {
  double y = 0;
  std::string label;
  bool dotted = false;
};

// A shaded horizontal band: the range within which a change is only noise.
struct ChartBand {
  double low = 0, high = 0;
  std::string label;
};

struct Chart {
  std::string title;
  std::string xTitle, xUnit;  // x is always a log-2 axis (bytes, pixels)
  std::string yTitle, yUnit;
  bool ratioAxis = false;  // y as a ratio around 1 instead of a rate from 0
  std::vector<ChartSeries> series;
  std::vector<ChartMark> marks;
  std::vector<ChartLevel> levels;
  std::vector<ChartBand> bands;
  std::string caption;
};

// A forest plot: one row per value, its ratio and interval on one log axis, the rows
// grouped under their group's heading, a line at 1 and the tolerance band shaded.
struct ForestRow {
  std::string group;  // the heading it stands under ("Fillrate")
  std::string label;
  double ratio = 1, low = 1, high = 1;
};

struct Forest {
  std::string title;
  std::vector<ForestRow> rows;  // in the order shown; a group's rows next to each other
  double tolerancePercent = 0;  // 0: no band
};

// The least width in px the tolerance band is drawn with, so that a narrow band on a
// wide axis still shows.
constexpr double ForestMinBandWidth = 8;

// The SVG element of a forest plot (ISO-8859-1 text, LF line ends).
std::string forestSvg(const Forest& forest);

// The SVG element of one chart (ISO-8859-1 text, LF line ends).
std::string chartSvg(const Chart& chart);

// The whole self-contained page.
std::string chartsPageHtml(const std::string& heading, const std::vector<Chart>& charts);

// Reads those of the data files of 'baseName' that are listed in 'dataFiles' (the files
// this run wrote, so that a file left by an earlier run gets no chart) into charts.
// False with an error naming the file when one cannot be read.
bool collectCharts(const std::string& baseName, const std::vector<std::string>& dataFiles,
                   std::vector<Chart>& charts, std::string& error);

// Writes BASE.charts.htm when the run wrote data files. 'written' tells whether a page
// was written; false with an error naming the file when it could not be, and then no
// page is left behind.
bool writeChartsPage(const std::string& baseName, const std::vector<std::string>& dataFiles,
                     bool& written, std::string& error);

}  // namespace corvalis
