// The console program's exit status, from what its run came to.
#include "app/run_outcome.h"

#include <gtest/gtest.h>

#include <csignal>

#include "app/run_cycle.h"

using namespace corvalis;

namespace {

RunOutcome stoppedBy(int signal) {
  RunOutcome outcome;
  outcome.stopSignal = signal;
  return outcome;
}

// A stop outranks everything, a usage error the files, lost files a failed test or a
// regression.
TEST(ExitStatus, OneNumberForEveryOutcome) {
  RunOutcome usage, files, failed, lost, filesAndFailed, usageAndStdout, stoppedAndLost;
  RunOutcome regression, filesAndRegression;
  regression.regression = true;
  filesAndRegression.regression = filesAndRegression.filesLost = true;
  usage.usageError = true;
  files.filesLost = true;
  failed.testFailed = true;
  lost.displayLost = true;
  filesAndFailed.filesLost = filesAndFailed.testFailed = true;
  usageAndStdout.usageError = usageAndStdout.filesLost = true;
  stoppedAndLost = stoppedBy(SIGTERM);
  stoppedAndLost.filesLost = stoppedAndLost.displayLost = true;
  const struct {
    const char* what;
    RunOutcome outcome;
    int status;
  } cases[] = {
      {"all well", RunOutcome(), 0},
      {"files", files, 1},
      {"usage", usage, 2},
      {"test failed", failed, 3},
      {"display lost", lost, 3},
      {"files beat a failed test", filesAndFailed, 1},
      {"a regression", regression, 4},
      {"a lost comparison beats its regression", filesAndRegression, 1},
      {"usage beats stdout", usageAndStdout, 2},
      {"SIGHUP", stoppedBy(SIGHUP), 129},
      {"SIGINT", stoppedBy(SIGINT), 130},
      {"SIGTERM beats the rest", stoppedAndLost, 143},
  };
  for (const auto& c : cases) EXPECT_EQ(exitStatusOf(c.outcome), c.status) << c.what;
}

// What a finished run cycle's files and tests make of the status.
TEST(ExitStatus, FromARunCycle) {
  RunCycleOutcome complete;
  complete.reportOpened = true;
  RunCycleOutcome notOpened, reportLost, dataLost, chartsLost, failed, stopped;
  reportLost = dataLost = chartsLost = failed = stopped = complete;
  reportLost.failedFiles = {"r.txt"};
  dataLost.dataFileErrors = {"r.tile_c.csv: disk full"};
  chartsLost.chartsError = "r.charts.htm: disk full";
  failed.anyTestFailed = true;
  stopped.stopSignal = SIGINT;
  stopped.dataFileErrors = dataLost.dataFileErrors;
  const struct {
    const char* what;
    const RunCycleOutcome& cycle;
    int status;
  } cases[] = {
      {"complete", complete, 0},        {"report not created", notOpened, 1},
      {"report lost", reportLost, 1},   {"a data file lost", dataLost, 1},
      {"charts page lost", chartsLost, 1}, {"a test failed", failed, 3},
      {"stopped", stopped, 130},
  };
  for (const auto& c : cases) EXPECT_EQ(exitStatusOf(runOutcomeOf(c.cycle)), c.status) << c.what;
}

}  // namespace
