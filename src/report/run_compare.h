#pragma once
// --compare: the values of several runs side by side, read from their text reports
// (and BASE.json beside them for the spreads), each against the first run.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "report/run_files.h"
#include "report/run_json.h"

namespace corvalis {

struct CompareGate;

struct CompareRun {
  std::string path;  // the text report as named on the command line
  TextReport report;
  RunSamples samples;
};

struct CompareRow {
  std::string key;                 // key path of the text reports
  std::vector<bool> present;       // per run
  std::vector<std::string> texts;  // per run, as the report prints it (trailing blanks cut)
  std::vector<double> values;      // per run, base units; nan when missing or not a number
  std::vector<double> ratios;      // per run, value / first run's; nan when there is none
  std::vector<bool> changed;       // per run, the change is beyond spread or 5 %
};

// Relative change above which a value without samples counts as changed.
constexpr double CompareThreshold = 0.05;

// The widest a column of the terminal table gets: a longer key, value or name is cut
// to this many characters, ending in "...", and a line under the table says so. The
// page (compareHtml) keeps every text whole.
constexpr size_t CompareColumnWidth = 96;

// Reads a text report and the BASE.json beside it (BASE.txt -> BASE.json). False with
// a message naming the file when either is not a regular file, is larger than its
// limit (run_files.h), or is not what this program writes.
// With 'valueSamples' each value keeps its samples too, not only its extremes (an A/B
// session pairs them slice by slice).
bool loadCompareRun(const std::string& path, CompareRun& run, std::string& error,
                    bool valueSamples = false);

// The most one comparison holds in all. Its table has a cell per run for every key of any
// run, and its page every text whole: ten reports of 1 MiB with different keys took
// 1.6 GB. Real runs give about 200 keys and 10 kB a report, so these still let some 300
// runs of every test be compared; at the limits the comparison needs about 200 MiB.
constexpr size_t MaxCompareCells = 65536;                   // different keys x runs
constexpr size_t MaxCompareTextBytes = size_t{16} << 20;    // keys and values of all runs

// What the runs loaded so far hold towards those limits.
struct CompareLoad {
  std::set<std::string> keys;  // the different keys
  size_t textBytes = 0;
};

// Counts a loaded run into 'load'. False, with a message naming the limit, when the
// comparison of 'runCount' runs goes beyond MaxCompareCells or MaxCompareTextBytes, so
// that a comparison is refused before it holds more than the limits.
bool addCompareRun(const CompareRun& run, size_t runCount, CompareLoad& load,
                   std::string& error);

// One row per key path of any run, in the order the keys first appear.
std::vector<CompareRow> compareRuns(const std::vector<CompareRun>& runs);

// Whether 'value' differs from 'base' by more than the spreads (when both have one)
// or by more than CompareThreshold of 'base'. Not-a-number never counts as changed.
bool significantChange(double base, double value, const Spread* baseSpread,
                       const Spread* valueSpread);

// The name of a run in headings: the file name without folders, or the path as given
// when another run has the same file name. Not cleaned.
std::string compareRunName(const std::vector<CompareRun>& runs, size_t index);

// A text from a file or the command line as a cell of the terminal table: cleaned
// (cleanOutsideText) and cut to CompareColumnWidth with "..." at the end ('cut' then set).
std::string compareCell(const std::string& text, bool& cut);

// The table for a terminal (ISO-8859-1 texts as in the reports, LF line ends). Texts
// from the files are cleaned of control characters (cleanOutsideText) and cut to
// CompareColumnWidth, so a hostile report can neither steer the terminal nor make
// the table larger than its rows times a bounded width. With a gate, the notes of
// compareNotes come first, each later run has a column with the gate's verdict, and the
// gate's summary ends the text, its verdict on the last line.
std::string compareTableText(const std::vector<CompareRun>& runs,
                             const std::vector<CompareRow>& rows,
                             const CompareGate* gate = nullptr);

// A self-contained page with the same table (texts whole, cleaned and escaped) and a
// bar chart per numeric row; with a gate also its notes, verdicts and summary.
std::string compareHtml(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                        const CompareGate* gate = nullptr);

}  // namespace corvalis
