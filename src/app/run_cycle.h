#pragma once
// One press of Start: open the report, probe the display, run the selected tests,
// write the report body, restore the display, close the report.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "report/result_report.h"

namespace corvalis {

struct AppContext;
class BenchTest;
class DisplayConfig;

struct RunCycleOutcome {
  bool reportOpened = false;              // false: "Ouch!" was shown, no test ran
  std::vector<std::string> failedFiles;   // report files that could not be written completely
  std::vector<std::string> fileErrors;    // why, one message naming the path each
  std::vector<std::string> dataFilesWritten;  // data files this cycle wrote completely
  std::vector<std::string> dataFileErrors;    // data files it could not: path and reason
  bool anyTestFailed = false;             // a test run in this cycle produced nothing ("error")
  int stopSignal = 0;                     // the signal that stopped the cycle, 0 when none
  bool chartsWritten = false;             // BASE.charts.htm was written
  std::string chartsError;                // why the charts page could not be written
  // Per test key, the largest max/min of the samples its report section was given
  // (ResultReport::largestSpreads); empty for a single measurement.
  std::map<std::string, double> largestSpreads;
  // Every detection measured with repeats, with its evidence (ResultReport::detections).
  std::vector<ResultReport::Detection> detections;
  // Every value measured while the driver reported GL errors (ResultReport::glErrors).
  std::vector<ResultReport::GlErrorNote> glErrors;
  // The values measured in rounds whose interval is still wide (ResultReport::openValues).
  std::vector<std::string> openValues;
};

// Progress callbacks for a console; either may be empty.
struct RunCycleObserver {
  std::function<void(const BenchTest& test)> testStarted;
  std::function<void(const BenchTest& test, double seconds)> testFinished;
};

// The text of the "Ouch!" message box.
constexpr const char* ReportCreateFailedText =
    "Could not create output files. If one or more of the files are currently opened, please "
    "close them and try again.";

// Runs one cycle with the launcher's settings and the selected tests of 'app'.
RunCycleOutcome runCycle(AppContext& app, DisplayConfig& config,
                         const RunCycleObserver& observer = {});

// Writes base+".txt" and base+".json" of the tests of 'app' finished so far (the others
// are skipped sections), each whole or not at all, as a worker of an A/B session does
// after each test, so that the tests it finished outlive it should it die before its
// own reports; false when either could not be written.
bool writeProgressReport(const AppContext& app, const DisplayConfig& config,
                         const std::string& base);

}  // namespace corvalis
