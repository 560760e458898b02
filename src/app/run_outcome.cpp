#include "app/run_outcome.h"

#include "app/run_cycle.h"

namespace corvalis {

int exitStatusOf(const RunOutcome& outcome) {
  if (outcome.stopSignal != 0) return 128 + outcome.stopSignal;
  if (outcome.usageError) return ExitUsage;
  if (outcome.filesLost) return ExitFiles;
  if (outcome.testFailed || outcome.displayLost) return ExitTestFailed;
  if (outcome.regression) return ExitRegression;
  return ExitOk;
}

RunOutcome runOutcomeOf(const RunCycleOutcome& cycle) {
  RunOutcome outcome;
  outcome.stopSignal = cycle.stopSignal;
  outcome.filesLost = !cycle.reportOpened || !cycle.failedFiles.empty() ||
                      !cycle.dataFileErrors.empty() || !cycle.chartsError.empty();
  outcome.testFailed = cycle.anyTestFailed;
  return outcome;
}

}  // namespace corvalis
