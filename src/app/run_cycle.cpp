#include "app/run_cycle.h"

#include <algorithm>
#include <chrono>

#include "app/app_context.h"
#include "app/system_info.h"
#include "framework/run_context.h"
#include "framework/slice_gate.h"
#include "framework/stop_request.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "gl/refresh_rate.h"
#include "gl/window.h"
#include "report/charts_page.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Refresh rate and driver text, measured on a window of its own before the tests.
void probeDisplay() {
  TestWindow probe(32, false, false);
  measureRefreshRate(probe);
  recordDriverInfo(probe);
}

// The settings section of the machine-readable report.
RunSettings runSettings(const AppContext& app, const DisplayConfig& config) {
  RunSettings settings;
  settings.width = config.width;
  settings.height = config.height;
  for (size_t i = 0; i < TestCount; ++i)
    if (const BenchTest* test = app.registry.selected(i)) settings.tests.push_back(test->key());
  settings.swapSync = app.settings.syncSwap;
  settings.repeat = app.settings.repeats;
  settings.adaptive = app.settings.adaptive;
  settings.budget = app.settings.budget;
  settings.device = platform::current().backendDescription();
  return settings;
}

// When test 'index' should start no more rounds under --budget: it gets the time left,
// shared among it and the tests after it by what each takes once.
RunClock::time_point testDeadline(const AppContext& app, size_t index, RunClock::time_point start,
                                  RunClock::time_point now) {
  const std::chrono::duration<double> budget(app.settings.budget);
  const double left = std::max(0.0, (budget - (now - start)).count());
  double weightLeft = 0.0;
  for (size_t i = index; i < TestCount; ++i)
    if (app.registry.selected(i)) weightLeft += SingleRunSeconds[i];
  const double share = weightLeft > 0.0 ? left * SingleRunSeconds[index] / weightLeft : 0.0;
  return now + std::chrono::duration_cast<RunClock::duration>(
                   std::chrono::duration<double>(share));
}

// Runs every selected test in registry order until a stop is requested; true when one
// of them produced nothing. Once the slice gate calls the run off, the test it cut short
// and every later one fail with CalledOffText, and the report is written as usual.
bool runSelectedTests(const AppContext& app, const RunCycleObserver& observer) {
  platform::Platform& plat = platform::current();
  RunContext context;
  context.repeats = app.settings.repeats;
  context.adaptive = app.settings.adaptive;
  const RunClock::time_point start = RunClock::now();
  bool anyFailed = false;
  for (size_t i = 0; i < TestCount; ++i) {
    BenchTest* test = app.registry.selected(i);
    if (!test) continue;
    if (stopRequested()) break;
    test->calledOff = false;
    if (runCalledOff()) {
      test->callOff();
      anyFailed = true;
      continue;
    }
    if (context.adaptive && app.settings.budget > 0)
      context.deadline = testDeadline(app, i, start, RunClock::now());
    if (observer.testStarted) observer.testStarted(*test);
    PerfTimer clock;
    const bool displayWasLost = plat.displayLost();
    test->run(context);
    // What a test measured on a display that went away meanwhile is worthless: it runs
    // once more, where every window now fails, and records that failure as its result.
    if (!displayWasLost && plat.displayLost()) test->run(context);
    if (runCalledOff()) test->callOff();
    if (observer.testFinished) observer.testFinished(*test, clock.elapsed());
    if (!test->hasRun || test->failed) anyFailed = true;
  }
  return anyFailed;
}

// Closes the report and records which of its files were written and which were not.
void closeReport(ResultReport& report, RunCycleOutcome& outcome) {
  if (!report.close()) {
    outcome.failedFiles = report.failedFiles();
    outcome.fileErrors = report.fileErrors();
  }
  for (const FileOutcome& file : report.dataFileOutcomes()) {
    if (file.error.empty())
      outcome.dataFilesWritten.push_back(file.path);
    else
      outcome.dataFileErrors.push_back(file.error);
  }
}

}  // namespace

RunCycleOutcome runCycle(AppContext& app, DisplayConfig& config, const RunCycleObserver& observer) {
  RunCycleOutcome outcome;
  platform::Platform& plat = platform::current();
  const LauncherSettings& settings = app.settings;
  config.swapSync = settings.syncSwap;
  config.maxBpp = 32;
  config.formatMode = 0;

  ResultReport report(settings.baseName, bbOptionMask(settings),
                      OutputHtml | OutputBBCode | OutputText | OutputDataFiles | OutputJson);
  outcome.reportOpened = report.isOpen();
  if (outcome.reportOpened) {
    report.setRunSettings(runSettings(app, config));
    plat.showCursor(false);
    probeDisplay();
    outcome.anyTestFailed = runSelectedTests(app, observer);
    // A stopped run keeps the previous reports: nothing of it is renamed into place.
    if (!stopRequested()) {
      writeReportBody(report, app);
      // The launcher now offers the results, and the BB-code file matches its options.
      app.settings.resultsAvailable = true;
      app.settings.bbOptionsChanged = false;
      outcome.largestSpreads = report.largestSpreads();
      outcome.detections = report.detections();
      outcome.glErrors = report.glErrors();
      outcome.openValues = report.openValues();
    }
    config.restoreDisplayMode();
    plat.showCursor(true);
  } else if (!stopRequested()) {  // a signal that broke off a waiting open is no "Ouch!"
    plat.messageBox(ReportCreateFailedText, "Ouch!");
  }
  closeReport(report, outcome);
  outcome.stopSignal = stopSignal();
  // The charts page is drawn from the files just written, so only after a complete report.
  if (outcome.reportOpened && outcome.failedFiles.empty() && settings.charts &&
      outcome.stopSignal == 0) {
    if (!writeChartsPage(settings.baseName, outcome.dataFilesWritten, outcome.chartsWritten,
                         outcome.chartsError))
      plat.messageBox(("No charts page: " + outcome.chartsError).c_str(), "Corvalis");
  }
  return outcome;
}

bool writeProgressReport(const AppContext& app, const DisplayConfig& config,
                         const std::string& base) {
  ResultReport report(base.c_str(), 0, OutputText | OutputJson);
  report.setRunSettings(runSettings(app, config));
  writeReportBody(report, app);
  return report.close();
}

}  // namespace corvalis
