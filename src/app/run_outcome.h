#pragma once
// What a run of the console program came to, and the exit status that says it.

namespace corvalis {

struct RunCycleOutcome;

struct RunOutcome {
  int stopSignal = 0;        // the signal that stopped the program, 0 when none
  bool usageError = false;   // a bad option or value, no such device, a file --compare refused
  bool filesLost = false;    // a report, data, charts or comparison file, or the standard
                             // output, could not be written completely
  bool testFailed = false;   // a selected test produced nothing, OpenGL could not be
                             // initialised, or there is no device to render on
  bool displayLost = false;  // the X display or a test window went away, or --window had none
  bool regression = false;   // --compare --fail-on-regression: a later run is worse
};

constexpr int ExitOk = 0;
constexpr int ExitFiles = 1;
constexpr int ExitUsage = 2;
constexpr int ExitTestFailed = 3;
constexpr int ExitRegression = 4;

// 128 + the stop signal; else 2 for a usage error; else 1 for lost files; else 3 for a
// failed test or a lost display; else 4 for a regression; else 0. A stop outranks
// everything, since its run is incomplete whatever else went wrong; files lost outrank a
// failed test or a regression, since the report or comparison that would show it is not
// there in full.
int exitStatusOf(const RunOutcome& outcome);

// The outcome of the files and tests of a finished run cycle.
RunOutcome runOutcomeOf(const RunCycleOutcome& cycle);

}  // namespace corvalis
