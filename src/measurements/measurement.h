#pragma once
// The abstract test: what the application shell knows of every measurement.

#include <cstddef>
#include <optional>
#include <string>

#include "framework/measured.h"
#include "framework/run_context.h"

namespace corvalis {

class FileGroup;
class ResultReport;

// Size of the text buffer handed to summary() and getSummary().
constexpr size_t SummarySize = 128;

class BenchTest {
 public:
  BenchTest() = default;
  virtual ~BenchTest() = default;
  BenchTest(const BenchTest&) = delete;
  BenchTest& operator=(const BenchTest&) = delete;

  // Display name: the dialog's checkbox text and the report's section title.
  virtual const char* name() const = 0;
  // Short key for the text report's key path.
  virtual const char* key() const = 0;
  // Performs the whole test: opens its own windows, measures as the run's context asks
  // (its repeats), stores results in its own fields, sets failed, and sets hasRun last.
  virtual void run(const RunContext& context) = 0;
  // Writes groups, items and values into the section that is already open.
  virtual void writeResults(ResultReport& report) = 0;
  // The one-line result shown beside the test (buffer of SummarySize bytes).
  virtual void summary(char* buffer) = 0;
  // How sure the detection behind the summary is ("clear", "uncertain", "none"), where
  // it was measured with repeats; empty otherwise and for every test that detects nothing.
  virtual std::string summaryConfidence() const { return ""; }
  // The value behind the summary, with the samples it was taken from; a test whose
  // summary is a detection, or that has no value, gives none.
  virtual std::optional<Measured> headline() const { return std::nullopt; }
  // Writes the test's extra data files beside the report as members of 'files', which
  // records what became of each; most tests have none.
  virtual void writeDataFiles(const char* baseName, FileGroup& files);
  // Hands the rows of the data files just written to the report's machine-readable
  // form (ResultReport::addSweep); most tests have none.
  virtual void writeSweeps(ResultReport& report);

  // "n/a" before the first run, "error" after a run that produced nothing, else summary().
  void getSummary(char* buffer);
  // The test's report section: "test skipped" before the first run, else its data
  // files (when the report asks for them) and its results.
  void writeSection(ResultReport& report, const char* baseName);

  // Fails the test with CalledOffText: a called-off run (an A/B session whose other side
  // was lost) cut it short or never started it. Its section then holds that failure
  // alone, since a test cut off in its rounds has no value whose slices are all taken.
  void callOff();

  // True when the last run produced no usable result at all.
  bool failed = false;
  // True after callOff(), until the run cycle starts the test again.
  bool calledOff = false;
  // False until the first run has finished; never cleared again.
  bool hasRun = false;
};

}  // namespace corvalis
