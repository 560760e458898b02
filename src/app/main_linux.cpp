// The console program: runs the chosen tests in X11 windows or headless and writes the
// reports.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/cli_options.h"
#include "app/detection_lines.h"
#include "app/run_cycle.h"
#include "app/run_outcome.h"
#include "framework/format.h"
#include "framework/progress.h"
#include "framework/sample_stats.h"
#include "framework/slice_gate.h"
#include "framework/stop_request.h"
#include "framework/text_encoding.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "platform/egl/egl_window_choice.h"
#include "platform/egl/posix_workers.h"
#include "platform/file_replace.h"
#include "platform/platform.h"
#include "report/ab_compare.h"
#include "report/compare_gate.h"
#include "report/output_file.h"
#include "report/result_report.h"
#include "report/run_compare.h"
#include "report/run_files.h"

using namespace corvalis;

namespace {

// The summary line of a test as the launcher would show it, in UTF-8, and how sure its
// detection is.
std::string summaryOf(BenchTest& test) {
  char buffer[SummarySize] = "n/a";
  test.getSummary(buffer);
  const std::string confidence = test.summaryConfidence();
  std::string line = latin1ToUtf8(buffer) + (confidence.empty() ? "" : " (" + confidence + ")");
  // Measured in rounds: the 95 % interval of the median beside it.
  const std::optional<Measured> value = test.hasRun ? test.headline() : std::nullopt;
  if (value && value->samples.size() > 1) {
    const MedianInterval interval = medianInterval(value->samples);
    line += "  [" + latin1ToUtf8(formatDecimal(interval.low)) + " to " +
            latin1ToUtf8(formatDecimal(interval.high)) + "]";
  }
  return line;
}

std::string absolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  return path;
}

// A descriptor among 0..2 that is closed would be handed to the first file the program
// opens, and the progress lines would land in a report: hold each on the null device.
void holdStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

void onStopSignal(int signal) { requestStop(signal); }

void installSignalHandlers() {
  // A file-size limit makes write() fail with EFBIG, which names the file, instead of
  // killing the program; a closed pipe makes it fail with EPIPE.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C, kill, a closed terminal (SIGHUP) and Ctrl-\ (SIGQUIT) all stop the run the
  // same way: no temporary left, the previous files kept, exit 128 + the signal. No
  // SA_RESTART: a blocked open or read returns, so that the stop is seen at once. A
  // signal ignored when the program starts stays ignored: nohup (SIGHUP) and a shell's
  // background job (SIGINT, SIGQUIT) ask for exactly that.
  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction inherited = {};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

// Text on stdout or stderr by its length: a NUL inside does not cut it.
void writeText(const std::string& text, std::FILE* stream) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// A message of the program on stderr, one line: whatever it quotes from outside (paths,
// file names) is shown with its control characters escaped.
void printError(const std::string& message) {
  writeText("corvalis: " + escapeControls(message) + "\n", stderr);
}

// A path for the listings on stdout, as one line.
std::string shownPath(const std::string& path) { return escapeControls(absolutePath(path)); }

// Delivers everything printed on stdout; false (after a message) when it could not be
// written (a full device, a closed pipe): that is a failure, not a success.
bool flushStandardOutput() {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "corvalis: could not write the standard output: %s\n",
               std::strerror(errno != 0 ? errno : EIO));
  return false;
}

// A usage error on stderr: the message naming the bad option or value, then the usage.
void printUsageError(const std::string& message) {
  std::fprintf(stderr, "corvalis: %s\n\n%s", message.c_str(), usageText().c_str());
}

// The BB-code report for a terminal: UTF-8, LF line ends, each line cleaned like any
// text read from a file.
void printBBCode(const std::string& path) {
  std::string bytes, error;
  if (!readFileBytes(path, MaxTextReportBytes, "a BB-code report", bytes, error)) {
    printError(error);
    return;
  }
  std::string text;
  for (const std::string& line : splitLines(bytes)) text += cleanOutsideText(line) + "\n";
  writeText(latin1ToUtf8(text), stdout);
}

void listTests() {
  TestRegistry registry;
  registry.create();
  for (auto& test : registry.tests)
    if (test) std::printf("%-10s %s\n", test->key(), test->name());
}

// The EGL devices, each with the window system a run on it uses: a chosen device always
// draws headless; a window run draws on the X server's own driver, listed first.
RunOutcome listDevices(bool windows) {
  RunOutcome outcome;
  if (windows) std::printf("window: %s (the default here)\n", platform::windowSystemDescription().c_str());
  auto devices = platform::current().listDevices();
  if (devices.empty() && !windows) {
    std::fprintf(stderr, "corvalis: no rendering device: %s\n",
                 platform::current().backendDescription().c_str());
    outcome.testFailed = true;
    return outcome;
  }
  for (size_t i = 0; i < devices.size(); ++i)
    std::printf("%zu: %s (%s, pbuffer)\n", i, devices[i].name.c_str(),
                devices[i].hardware ? "hardware" : "software");
  return outcome;
}

// Opens the X display when the options want one; false (after the message) when
// --window cannot have it.
bool chooseWindowSystem(const CliOptions& options, bool& windows) {
  std::string why;
  const bool opened = wantsDisplay(options) && platform::useX11Windows(why);
  const WindowBackend backend = chooseWindowBackend(options, opened);
  if (backend == WindowBackend::NoDisplay) {
    std::fprintf(stderr, "corvalis: --window needs an X display, but %s\n", why.c_str());
    return false;
  }
  windows = backend == WindowBackend::X11Window;
  return true;
}

// The options as the launcher's settings and the selection of the tests.
void applyOptions(const CliOptions& options, AppContext& app) {
  LauncherSettings& settings = app.settings;
  std::string base = options.output.empty() ? std::string("results") : options.output;
  std::snprintf(settings.baseName, BaseNameSize, "%s", base.c_str());
  std::snprintf(settings.comment, CommentSize, "%s", options.comment.c_str());
  settings.commentEnabled = options.commentGiven;
  settings.syncSwap = options.syncSwap;
  settings.bbBold = options.bbBold;
  settings.bbCode = options.bbCode;
  settings.bbUrl = options.bbUrl;
  settings.repeats = options.repeat;
  settings.adaptive = options.adaptive;
  settings.budget = options.budget;
  settings.charts = options.charts;
  app.registry.create();
  for (size_t i = 0; i < TestCount; ++i)
    app.registry.enabled[i] = app.registry.tests[i] && options.tests[i];
}

// With repeats: per test that ran, the largest max/min of the samples its report section
// was given, so that a user sees at once which numbers are solid.
void printSpreads(const AppContext& app, const std::map<std::string, double>& spreads) {
  if (app.settings.adaptive)
    std::printf("Largest spread (max/min of the slices of --repeat auto):\n");
  else
    std::printf("Largest spread (max/min of %d repeats):\n", app.settings.repeats);
  for (size_t i = 0; i < TestCount; ++i) {
    BenchTest* test = app.registry.selected(i);
    if (!test || !test->hasRun || test->failed) continue;
    const auto found = spreads.find(test->key());
    const double spread = found != spreads.end() ? found->second : 0.0;
    if (spread > 0.0)
      std::printf("  %-14s %.3f\n", test->name(), spread);
    else
      std::printf("  %-14s %s\n", test->name(), spread == 0.0 ? "-" : "failed repeat");
  }
}

// Every detected value with its confidence and the step it rests on; after a single
// run's uncertain answer, how to check it.
void printDetections(const std::vector<ResultReport::Detection>& detections, int repeats,
                     const DisplayConfig& config) {
  if (detections.empty()) return;
  if (repeats > 1)
    std::printf(
        "Detections (offset/aligned rate of a tile block, or rate after/before a cache edge: the "
        "median of the paired measurements and its 95 %% interval):\n");
  else
    std::printf(
        "Detections (offset/aligned rate of a tile block, or rate after/before a cache edge, "
        "against the noise of the sweep's other steps):\n");
  for (const ResultReport::Detection& detection : detections) {
    std::printf("  %s\n", latin1ToUtf8(detectionLine(detection)).c_str());
    if (repeats <= 1 && detection.evidence.confidence == Confidence::Uncertain)
      std::printf("    %s\n", checkLine(detection, config.width, config.height).c_str());
  }
}

// --repeat auto: which values its rounds left open, the budget or the ceiling having
// ended them first.
void printOpenValues(const std::vector<std::string>& open,
                     const std::vector<ResultReport::Detection>& detections) {
  std::vector<std::string> undecided;
  for (const ResultReport::Detection& detection : detections)
    if (detection.evidence.confidence == Confidence::Uncertain) undecided.push_back(detection.key);
  if (open.empty() && undecided.empty()) {
    std::printf("Every value narrow (95 %% interval within %.0f %% of it) and every detection "
                "clear or none.\n",
                100.0 * NarrowIntervalWidth);
    return;
  }
  std::printf("Still open when the rounds ended (interval wider than %.0f %%, or uncertain):\n",
              100.0 * NarrowIntervalWidth);
  for (const std::string& key : open) std::printf("  %s\n", latin1ToUtf8(key).c_str());
  for (const std::string& key : undecided) std::printf("  %s\n", latin1ToUtf8(key).c_str());
}

// The reports and the data files this run wrote (not those that merely exist).
void printWrittenFiles(const std::string& base, const std::vector<std::string>& dataFiles,
                       bool chartsWritten) {
  std::printf("Reports:\n");
  for (const char* ext : {".htm", ".txt", ".bb.txt", ".json"})
    std::printf("  %s\n", shownPath(base + ext).c_str());
  if (chartsWritten) std::printf("  %s\n", shownPath(base + ".charts.htm").c_str());
  if (dataFiles.empty()) return;
  std::printf("Data files:\n");
  for (const auto& path : dataFiles) std::printf("  %s\n", shownPath(path).c_str());
}

// One updating stderr line per test on a terminal: which sweep, which step of how
// many, the seconds since the test started.
class TerminalProgress : public ProgressSink {
 public:
  void start(const std::string& prefix) {
    prefix_ = prefix;
    clock_ = PerfTimer();
    show(prefix_ + " ...");
  }
  void progress(const char* phase, int step, int total) override {
    std::string line = prefix_ + " " + phase;
    if (total > 0) line += formatC(" %d/%d", step, total);
    show(line + formatC(" (%.1f s)", clock_.elapsed()));
  }
  // Replaces the updating line with the test's final line.
  void finish(const std::string& line) {
    std::fprintf(stderr, "\r\033[K%s\n", line.c_str());
    std::fflush(stderr);
  }

 private:
  void show(const std::string& line) {
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
  }
  std::string prefix_;
  PerfTimer clock_;
};

// The run's progress on stderr: "[i/n] Name" as each selected test starts, its summary
// and time as it ends. On a terminal each test has one line that its progress rewrites;
// elsewhere (a log, a pipe) the plain start and end lines.
class ConsoleProgress {
 public:
  explicit ConsoleProgress(const TestRegistry& registry) : live_(isatty(STDERR_FILENO) != 0) {
    for (size_t i = 0; i < TestCount; ++i) selected_ += registry.selected(i) ? 1 : 0;
    if (live_) setProgressSink(&terminal_);
  }
  ~ConsoleProgress() { setProgressSink(nullptr); }
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  RunCycleObserver observer() {
    RunCycleObserver observer;
    observer.testStarted = [this](const BenchTest& test) { started(test); };
    observer.testFinished = [this](const BenchTest& test, double seconds) {
      finished(test, seconds);
    };
    return observer;
  }

 private:
  void started(const BenchTest& test) {
    std::string prefix = formatC("[%zu/%zu] %s", ++position_, selected_, test.name());
    if (live_)
      terminal_.start(prefix);
    else
      std::fprintf(stderr, "%s ...\n", prefix.c_str());
  }
  void finished(const BenchTest& test, double seconds) {
    std::string summary = summaryOf(const_cast<BenchTest&>(test));
    std::string line = formatC("[%zu/%zu] %s: %s (%.1f s)", position_, selected_, test.name(),
                               summary.c_str(), seconds);
    if (live_)
      terminal_.finish(line);
    else
      std::fprintf(stderr, "%s\n", line.c_str());
  }

  const bool live_;
  size_t selected_ = 0;
  size_t position_ = 0;
  TerminalProgress terminal_;
};

// A stop signal ends --compare with its exit status, whatever step it interrupted.
RunOutcome compareStopped() {
  printError(formatC("--compare stopped by signal %d", stopSignal()));
  RunOutcome outcome;
  outcome.stopSignal = stopSignal();
  return outcome;
}

// Adds the path of every file of the group that was written to 'listing', one indented
// line each, and names each that was not on stderr; false when any was not.
bool listWrittenFiles(const FileGroup& files, std::string& listing) {
  bool written = true;
  for (const FileOutcome& file : files.outcomes()) {
    if (!file.error.empty()) {
      printError(file.error);
      written = false;
    } else {
      listing += "  " + shownPath(file.path) + "\n";
    }
  }
  return written;
}

// Writes the comparison page and, with a gate, BASE.compare.json, each whole or not at
// all; false (after naming each file that could not be written) when any was lost.
bool writeComparison(const CliOptions& options, const std::vector<CompareRun>& runs,
                     const std::vector<CompareRow>& rows, const CompareGate* gate) {
  FileGroup files;
  OutputFile& page = files.create(options.output + ".compare.htm");
  if (page.isOpen()) page.write(compareHtml(runs, rows, gate));
  if (gate != nullptr) {
    OutputFile& json = files.create(options.output + ".compare.json");
    if (json.isOpen()) json.writeBytes(compareJson(runs, rows, *gate));
  }
  files.commitAll();
  if (stopRequested()) return true;  // the caller reports the stop
  std::string listing = "Comparison:\n";
  const bool written = listWrittenFiles(files, listing);
  if (written) writeText(listing, stdout);
  return written;
}

// --compare: no GL at all, only the reports on disk. A file that cannot be compared is
// named with what is wrong with it in one line, without the usage text; it exits with
// the status of a usage error (2). With --fail-on-regression the table ends in the
// gate's verdict, and a regression exits with status 4.
RunOutcome runCompare(const CliOptions& options) {
  RunOutcome outcome;
  std::vector<CompareRun> runs(options.compare.size());
  CompareLoad load;
  for (size_t i = 0; i < runs.size(); ++i) {
    std::string error;
    const bool loaded = loadCompareRun(options.compare[i], runs[i], error) &&
                        addCompareRun(runs[i], runs.size(), load, error);
    if (stopRequested()) return compareStopped();
    if (!loaded) {
      printError("--compare: " + error);
      outcome.usageError = true;
      return outcome;
    }
  }
  load = CompareLoad();  // the rows hold the keys from here on
  std::vector<CompareRow> rows = compareRuns(runs);
  std::optional<CompareGate> gate;
  if (options.gate) gate = gateRuns(runs, rows, options.regressionPercent);
  const CompareGate* gated = gate ? &*gate : nullptr;
  writeText(latin1ToUtf8(compareTableText(runs, rows, gated)), stdout);
  outcome.regression = gate && gate->failed();
  if (options.output.empty()) return stopRequested() ? compareStopped() : outcome;
  // The table is complete before the files are written, which may wait (a FIFO).
  std::fflush(stdout);
  const bool written = !stopRequested() && writeComparison(options, runs, rows, gated);
  if (stopRequested()) return compareStopped();
  outcome.filesLost = !written;
  return outcome;
}

// True when no window of the run brought OpenGL up, the last one included.
bool openGlNeverWorked() { return std::strcmp(driverString, GlInitFailedText) == 0; }

// Why a run whose report was written failed, on stderr: its windows went away, OpenGL
// could not be initialised, or a test failed; the first of these that applies.
void printRunFailure(const DisplayConfig& config, const RunCycleOutcome& cycle) {
  if (const std::string loss = platform::windowSystemLoss(); !loss.empty()) {
    // Not a driver fault: the windows went away under the run.
    std::fprintf(stderr,
                 "corvalis: %s during the run; the test running then and every later one "
                 "failed with \"no window\"\n",
                 loss.c_str());
  } else if (openGlNeverWorked()) {
    std::fprintf(stderr,
                 "corvalis: OpenGL could not be initialised for a %dx%d window (%s); the "
                 "report's Error lines say which step failed\n",
                 config.width, config.height, platform::current().backendDescription().c_str());
  } else if (cycle.anyTestFailed && !runCalledOff()) {  // a called-off worker's parent says why
    std::fprintf(stderr, "corvalis: a selected test failed; see the report\n");
  }
}

// After a run cycle: on a stop, what became of the files; when the report could not be
// created, why; otherwise the summaries, the files that could not be written, the values
// measured while the driver reported GL errors and, for a complete report, the files
// written and why the run failed, if it did.
void printRunCycle(const AppContext& app, const CliOptions& options, const DisplayConfig& config,
                   const RunCycleOutcome& cycle) {
  if (cycle.stopSignal != 0) {
    const bool kept = cycle.reportOpened && cycle.failedFiles.empty();
    std::fprintf(stderr, "corvalis: stopped by signal %d%s\n", cycle.stopSignal,
                 kept ? " after the files were written"
                      : "; the previous report and data files are unchanged");
    return;
  }
  // Without a report: after the "Ouch!" text, which file could not be created and why.
  if (!cycle.reportOpened) {
    for (const auto& message : cycle.fileErrors) printError(message);
    return;
  }
  for (auto& test : app.registry.tests)
    if (test) std::printf("%-14s %s\n", test->name(), summaryOf(*test).c_str());
  for (const auto& message : cycle.dataFileErrors) printError(message);
  for (const auto& seen : cycle.glErrors)
    printError(seen.glError + " while measuring " + seen.key + "; the value may be wrong");
  if (app.settings.repeats > 1) printSpreads(app, cycle.largestSpreads);
  printDetections(cycle.detections, app.settings.repeats, config);
  if (app.settings.adaptive) printOpenValues(cycle.openValues, cycle.detections);
  if (!cycle.failedFiles.empty()) {
    for (const auto& message : cycle.fileErrors) printError(message);
    return;
  }
  printWrittenFiles(app.settings.baseName, cycle.dataFilesWritten, cycle.chartsWritten);
  if (options.printBBCode) printBBCode(std::string(app.settings.baseName) + ".bb.txt");
  // A charts page that could not be written was named by the message box text.
  if (cycle.chartsError.empty()) printRunFailure(config, cycle);
}

// Runs the selected tests as the options say and shows what came of it. A worker of an
// A/B session ('worker') shows no progress; until its run is called off it writes its
// progress report under 'progressBase', when it has one, after every test it finishes.
RunOutcome runTests(const CliOptions& options, bool worker = false,
                    const std::string& progressBase = "") {
  DisplayConfig config(options.width, options.height);
  displayConfig = &config;
  AppContext app;
  applyOptions(options, app);
  RunCycleOutcome cycle;
  if (worker) {
    RunCycleObserver observer;
    if (!progressBase.empty())
      observer.testFinished = [&](const BenchTest&, double) {
        if (!runCalledOff()) writeProgressReport(app, config, progressBase);
      };
    cycle = runCycle(app, config, observer);
  } else {
    ConsoleProgress progress(app.registry);
    std::fprintf(stderr, "Corvalis: %dx%d on %s\n", config.width, config.height,
                 platform::current().backendDescription().c_str());
    cycle = runCycle(app, config, progress.observer());
  }
  printRunCycle(app, options, config, cycle);
  RunOutcome outcome = runOutcomeOf(cycle);
  outcome.displayLost = !platform::windowSystemLoss().empty();
  outcome.testFailed = outcome.testFailed || openGlNeverWorked();
  app.registry.destroy();
  displayConfig = nullptr;
  return outcome;
}

// Why this worker cannot measure, or empty: its device, its window system and a first
// OpenGL context, each tried before anything is measured.
std::string workerStartProblem(const CliOptions& options) {
  if (options.device >= 0 && !platform::current().selectDevice(options.device))
    return formatC("there is no device %d (see --list-devices)", options.device);
  std::string why;
  const bool opened = wantsDisplay(options) && platform::useX11Windows(why);
  if (chooseWindowBackend(options, opened) == WindowBackend::NoDisplay)
    return "--window needs an X display, but " + why;
  DisplayConfig config(options.width, options.height);
  displayConfig = &config;
  std::string problem;
  {
    TestWindow probe(32, false, false);
    if (probe.initFailed)
      problem = "OpenGL could not be initialised (" + std::string(probe.errorText) + ") on " +
                platform::current().backendDescription();
  }
  displayConfig = nullptr;
  return problem;
}

// The environment variable that hands a worker of an A/B session the base name of its
// progress report (writeProgressReport).
constexpr const char* ProgressVariable = "CORVALIS_AB_PROGRESS";

// Where side 'side' of this session keeps its progress report: a name of the session's
// own in the folder of its reports, so that no file of the user's is replaced.
std::string progressBase(const std::string& folder, int side) {
  return folder + ".corvalis-ab-" + std::to_string(getpid()) + "-" + (side == 0 ? "a" : "b");
}

// A worker of an A/B session: the run of one side, each slice when the parent says.
RunOutcome runWorker(const CliOptions& options, int socket) {
  RunOutcome outcome;
  const char* progress = std::getenv(ProgressVariable);
  const std::string progressBase = progress != nullptr ? progress : "";
  unsetenv(ProgressVariable);
  const std::string problem = workerStartProblem(options);
  if (!problem.empty()) {
    platform::reportWorkerStartFailure(socket, problem);
    outcome.usageError = true;
    return outcome;
  }
  platform::WorkerGate gate(socket);
  setSliceGate(&gate);
  gate.beforeSlice();  // ready; returns at the first turn
  outcome = stopRequested() ? RunOutcome{} : runTests(options, true, progressBase);
  if (stopRequested()) outcome.stopSignal = stopSignal();
  setSliceGate(nullptr);
  return outcome;
}

// "side B (GALLIUM_DRIVER=softpipe)" in messages.
std::string sideLabel(const CliOptions& options, int side) {
  return std::string("side ") + sideName(side) + " (" + sideDescription(options, side) + ")";
}

// Reads the reports a side's worker wrote; a side whose reports cannot be read is lost.
// A lost side has what its last progress report holds, the tests it finished (none
// when there is no such report).
void loadSide(const CliOptions& options, int side, const std::string& progress,
              platform::DuetOutcome& duet, CompareRun& run) {
  std::string error;
  if (!duet.lost[side]) {
    const std::string base = options.output.empty() ? std::string("results") : options.output;
    if (loadCompareRun(base + (side == 0 ? ".a.txt" : ".b.txt"), run, error, true)) return;
    duet.lost[side] = true;
    duet.why[side] = "its reports cannot be read: " + error;
  }
  if (!loadCompareRun(progress + ".txt", run, error, true)) run = CompareRun();
}

// The tests a run holds values of, by their keys, "Fillrate, Readback"; the Info lines
// are no test.
std::string testsOf(const CompareRun& run) {
  std::string tests, last;
  for (const auto& entry : run.report.values) {
    const std::string test = entry.first.substr(0, entry.first.find(':'));
    if (test == "Info" || test == last) continue;
    tests += (tests.empty() ? "" : ", ") + test;
    last = test;
  }
  return tests;
}

// Why a side's values are failed: what became of its worker, which of its tests were
// kept ('run', what it had finished), and what the other side's reports hold after the
// session stopped.
std::string lostSideMessage(const CliOptions& options, const platform::DuetOutcome& duet,
                            int side, const CompareRun& run) {
  const int other = 1 - side;
  const std::string kept = testsOf(run);
  std::string message = sideLabel(options, side) + " was lost during the session: " +
                        duet.why[side] + "; the session stopped there";
  if (kept.empty())
    message += " and every value of side " + std::string(sideName(side)) + " is failed";
  else
    message += ": side " + std::string(sideName(side)) + " keeps its values of the tests it " +
               "had finished (" + latin1ToUtf8(kept) + "), those of the others are failed";
  if (duet.lost[other]) return message;
  if (duet.calledOff[other])
    return message + "; side " + sideName(other) + "'s reports keep the tests it had finished, " +
           "the others failed (\"" + CalledOffText + "\")";
  return message + "; side " + sideName(other) + " had finished";
}

// The progress reports of a session's two workers (progressBase), removed however the
// session ends: they only stand in for the reports of a side that is lost.
class ProgressReports {
 public:
  explicit ProgressReports(const std::string& folder)
      : bases_{{progressBase(folder, 0), progressBase(folder, 1)}} {}
  ~ProgressReports() {
    for (const std::string& base : bases_)
      for (const char* ext : {".txt", ".json"}) platform::removeFile(base + ext);
  }
  ProgressReports(const ProgressReports&) = delete;
  ProgressReports& operator=(const ProgressReports&) = delete;
  const std::string& base(int side) const { return bases_[side]; }

 private:
  std::array<std::string, 2> bases_;
};

// Writes BASE.ab.htm and BASE.ab.json, each whole or not at all; false (after naming
// each that could not be written) when any was lost. Lists them and the reports of each
// side that was not lost.
bool writeAbFiles(const std::string& base, const AbSession& session) {
  FileGroup files;
  OutputFile& page = files.create(base + ".ab.htm");
  if (page.isOpen()) page.write(abHtml(session));
  OutputFile& json = files.create(base + ".ab.json");
  if (json.isOpen()) json.writeBytes(abJson(session));
  files.commitAll();
  if (stopRequested()) return true;
  std::string listing = "A/B session:\n";
  const bool written = listWrittenFiles(files, listing);
  std::string reports;
  for (int side = 0; side < 2; ++side)
    if (!session.lost[side])
      reports += (reports.empty() ? "" : ", ") + shownPath(base + (side ? ".b.txt" : ".a.txt"));
  if (!reports.empty())
    listing += "Each side's reports: " + reports + " (and their .htm, .json, ...)\n";
  if (written) writeText(listing, stdout);
  return written;
}

// An A/B session: both sides' workers taking turns, then B/A of every value.
RunOutcome runAbSession(const CliOptions& options) {
  RunOutcome outcome;
  int hangSeconds = 0;
  std::string error;
  if (!platform::parseHangSeconds(std::getenv(platform::HangSecondsVariable), hangSeconds,
                                  error)) {
    printError(error);
    outcome.usageError = true;
    return outcome;
  }
  const std::string base = options.output.empty() ? std::string("results") : options.output;
  const size_t slash = base.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
  const ProgressReports progress(folder);
  std::array<platform::WorkerLaunch, 2> launches;
  for (int side = 0; side < 2; ++side) {
    // The session's own entry first: of two with one name, the worker reads the first.
    launches[side].environment = {std::string(ProgressVariable) + "=" + progress.base(side)};
    launches[side].environment.insert(launches[side].environment.end(),
                                      options.sideEnv[side].begin(), options.sideEnv[side].end());
    launches[side].arguments = workerArguments(options, side);
    launches[side].folder = folder;
  }
  std::fprintf(stderr, "Corvalis A/B session: %dx%d, --repeat %d, slices in turn A B B A\n  A: %s\n  B: %s\n",
               options.width, options.height,
               options.repeatGiven ? options.repeat : AbDefaultRepeat,
               escapeControls(sideDescription(options, 0)).c_str(),
               escapeControls(sideDescription(options, 1)).c_str());
  platform::DuetOutcome duet = platform::runDuet(launches, hangSeconds);
  if (duet.stopSignal != 0) {
    printError(formatC("A/B session stopped by signal %d; the previous files are unchanged",
                       duet.stopSignal));
    outcome.stopSignal = duet.stopSignal;
    return outcome;
  }
  for (int side = 0; side < 2; ++side) {
    if (duet.lost[side] && !duet.started[side]) {
      printError(sideLabel(options, side) + " cannot start: " + duet.why[side]);
      outcome.usageError = true;
      return outcome;
    }
  }
  std::array<CompareRun, 2> runs;
  for (int side = 0; side < 2; ++side)
    loadSide(options, side, progress.base(side), duet, runs[side]);
  AbSession session;
  for (int side = 0; side < 2; ++side) {
    session.sides[side] = utf8ToLatin1(sideDescription(options, side));
    session.lost[side] = duet.lost[side];
    if (duet.exitStatus[side] == 3 || duet.lost[side]) outcome.testFailed = true;
    if (duet.exitStatus[side] == 1) outcome.filesLost = true;
  }
  session.gate = options.gate;
  session.tolerancePercent = options.gate ? options.regressionPercent : AbDefaultTolerance;
  compareSides({&runs[0], &runs[1]}, session);
  writeText(latin1ToUtf8(abTableText(session)), stdout);
  for (int side = 0; side < 2; ++side)
    if (duet.lost[side]) printError(lostSideMessage(options, duet, side, runs[side]));
  outcome.regression = session.regressions > 0;
  std::fflush(stdout);
  if (!writeAbFiles(base, session)) outcome.filesLost = true;
  if (stopRequested()) outcome.stopSignal = stopSignal();
  return outcome;
}

// Everything after the process set-up: the options, then the one thing they ask for.
RunOutcome runProgram(int argc, char** argv) {
  RunOutcome outcome;
  CliOptions options;
  std::string error;
  const int workerSocket = platform::takeWorkerSocket();
  if (workerSocket >= 0) {
    if (!parseCliOptions(argc, argv, options, error)) {
      platform::reportWorkerStartFailure(workerSocket, error);
      outcome.usageError = true;
      return outcome;
    }
    return runWorker(options, workerSocket);
  }
  if (!parseCliOptions(argc, argv, options, error)) {
    printUsageError(error);
    outcome.usageError = true;
  } else if (options.help) {
    std::fputs(usageText().c_str(), stdout);
  } else if (options.version) {
    std::printf("%s\n", ProgramVersion);
  } else if (options.list) {
    listTests();
  } else if (!options.compare.empty()) {
    outcome = runCompare(options);
  } else if (options.abSession) {
    outcome = runAbSession(options);
  } else if (options.device >= 0 && !platform::current().selectDevice(options.device)) {
    printUsageError(formatC("there is no device %d (see --list-devices)", options.device));
    outcome.usageError = true;
  } else {
    bool windows = false;
    if (!chooseWindowSystem(options, windows))
      outcome.displayLost = true;
    else
      outcome = options.listDevices ? listDevices(windows) : runTests(options);
  }
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  holdStandardDescriptors();
  installSignalHandlers();
  RunOutcome outcome = runProgram(argc, argv);
  if (!flushStandardOutput()) outcome.filesLost = true;
  return exitStatusOf(outcome);
}
