#include "app/run_cycle.h"

#include "app/launcher_settings.h"
#include "app/system_info.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "gl/test_window.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Refresh rate and driver text, measured on a window of its own before the tests.
void probeDisplay() {
  TestWindow probe(32, false, false);
  measureRefreshRate(probe);
  recordDriverInfo(probe);
}

}  // namespace

RunCycleOutcome runCycle(DisplayConfig& config, const RunCycleObserver& observer) {
  RunCycleOutcome outcome;
  platform::Platform& plat = platform::current();
  config.swapSync = launcherSettings.syncSwap;
  config.maxBpp = 32;
  config.formatMode = 0;

  ResultReport report(launcherSettings.baseName, bbOptionMask(launcherSettings),
                      OutputHtml | OutputBBCode | OutputText | OutputDataFiles);
  outcome.reportOpened = report.isOpen();
  if (outcome.reportOpened) {
    plat.showCursor(false);
    probeDisplay();
    for (size_t i = 0; i < TestCount; ++i) {
      BenchTest* test = testRegistry[i].get();
      if (!test || !testEnabled[i]) continue;
      if (observer.testStarted) observer.testStarted(*test);
      PerfTimer clock;
      const bool displayWasLost = plat.displayLost();
      test->run();
      // What a test measured on a display that went away meanwhile is worthless: it runs
      // once more, where every window now fails, and records that failure as its result.
      if (!displayWasLost && plat.displayLost()) test->run();
      if (observer.testFinished) observer.testFinished(*test, clock.elapsed());
      if (!test->hasRun || test->failed) outcome.anyTestFailed = true;
    }
    writeReportBody(report);
    config.restoreDisplayMode();
    plat.showCursor(true);
  } else {
    plat.messageBox(ReportCreateFailedText, "Ouch!");
  }
  if (!report.close()) outcome.failedFiles = report.failedFiles();
  return outcome;
}

}  // namespace corvalis
