// The console program's exit status, from what its run came to.
#include "app/run_outcome.h"

#include <gtest/gtest.h>

#include <csignal>

#include "app/run_cycle.h"

using namespace corvalis;

namespace {

// A stop outranks everything, a usage error the files, lost files a failed test or a
// regression.
TEST(ExitStatus, OneNumberForEveryOutcome) {
  const struct {
    const char* what;
    RunOutcome outcome;  // stopSignal, usageError, filesLost, testFailed, displayLost, regression
    int status;
  } cases[] = {
      {"all well", RunOutcome(), 0},
      {"files", {0, false, true, false, false, false}, 1},
      {"usage", {0, true, false, false, false, false}, 2},
      {"test failed", {0, false, false, true, false, false}, 3},
      {"display lost", {0, false, false, false, true, false}, 3},
      {"files beat a failed test", {0, false, true, true, false, false}, 1},
      {"a regression", {0, false, false, false, false, true}, 4},
      {"a lost comparison beats its regression", {0, false, true, false, false, true}, 1},
      {"usage beats stdout", {0, true, true, false, false, false}, 2},
      {"SIGHUP", {SIGHUP, false, false, false, false, false}, 129},
      {"SIGINT", {SIGINT, false, false, false, false, false}, 130},
      {"SIGTERM beats the rest", {SIGTERM, false, true, false, true, false}, 143},
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
