#pragma once
// The face every form of the report shows to ResultReport (the page, the text file, the
// BB code, BASE.json). The report keeps the key path, cleans outside text once and hands
// each call to every writer in its list; a writer formats for its own file and never
// measures, as a benchmark runner hands its results to console, JSON and CSV reporters.

#include <string>
#include <vector>

#include "framework/measured.h"
#include "report/key_path.h"
#include "report/output_file.h"

namespace corvalis {

// How a measured value that is not a finite number (a zero elapsed time) is written in
// every report: as a failed value.
constexpr const char* NonFiniteValueText = "error";

// How the run was made, as BASE.json's "settings" object shows it.
struct RunSettings {
  int width = 0;
  int height = 0;
  std::vector<std::string> tests;  // keys of the selected tests, registry order
  bool swapSync = false;
  int repeat = 1;
  std::string device;     // the backend's description line
  bool adaptive = false;  // --repeat auto; repeat is then the most rounds
  int budget = 0;         // its --budget in seconds; 0: none
};

// One column of a data-file row: its number and, with repeats, the samples behind it.
struct SweepField {
  std::string name;
  double value = 0.0;
  std::vector<double> samples;
};
using SweepRow = std::vector<SweepField>;

// Where a line of the report stands: under the report's key path, with its label (null:
// a line without key, which only the page shows) and the page's own markup after the
// value (null: none).
struct ReportLine {
  const KeyPath& keys;
  const char* label;
  const char* htmlText;
  // The full key of the line ("Tiling:Color:Width").
  std::string key() const { return keys.of(label); }
};

// A data file beside the report that the page links to; a null part reads as empty.
struct DataFileLink {
  const char* text;    // the link text ("CSV")
  const char* suffix;  // the data file's name after the base name (".tile_c.csv")
};

// A measured value as every writer gets it.
struct ReportValue {
  const Measured& measured;
  const char* unit;           // appended to the number; null: none
  bool binary;                // a size: prefixes step by 1024 instead of 1000
  const DataFileLink* link;   // the data file behind the value; null: none
};

// The value as the page and the BB code show it: three decimals with a unit prefix and
// the unit ("16 kiB", "1.500 GPix/s"), or NonFiniteValueText.
std::string displayText(const ReportValue& value);

class ReportWriter {
 public:
  // Opens the writer's file; without one every call still works and writes nothing.
  explicit ReportWriter(const char* fileName);
  virtual ~ReportWriter() = default;
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // False when the file could not be created.
  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }

  // A section heading (linked when link is given); a skipped test's section has a
  // heading on the page alone.
  virtual void beginSection(const char* /*title*/, const char* /*link*/, bool /*skipped*/) {}
  // A nested group, its title linking to a data file when link is given.
  virtual void beginGroup(const char* /*title*/, const DataFileLink* /*link*/) {}
  virtual void endGroup() {}
  // A text line; text is cleaned outside text, or null for a line of the page's own
  // markup alone.
  virtual void addText(const ReportLine& line, const char* text) = 0;
  virtual void addValue(const ReportLine& line, const ReportValue& value) = 0;
  // For the machine-readable form: the run's settings, the evidence of a detection and
  // the GL errors seen while a value was measured (under the key of its line, which may
  // have no value), the rows of a data file.
  virtual void setRunSettings(const RunSettings& /*settings*/) {}
  virtual void addEvidence(const ReportLine& /*line*/, const Evidence& /*evidence*/) {}
  virtual void addGlError(const ReportLine& /*line*/, const std::string& /*glError*/) {}
  virtual void addSweep(const std::string& /*name*/, const std::vector<SweepRow>& /*rows*/) {}

  // Writes what the format ends with and closes the file, renaming it into place unless
  // the caller does that later (output().commit()); false when it could not be written
  // completely.
  bool finish(bool commitNow = true);
  OutputFile& output() { return file_; }

 protected:
  // The bytes that end the file, written by finish() while the file is open.
  virtual void writeEnd() {}

  OutputFile file_;
};

}  // namespace corvalis
