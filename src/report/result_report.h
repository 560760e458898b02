#pragma once
// The report document: it keeps the key path and the run's evidence, cleans text from
// outside once, and hands every operation to the list of writers the outputs ask for
// (page, text, BB code, JSON), each composing what suits its file.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corvalis_version.h"  // ProgramVersion, the title of the information section
#include "framework/measured.h"
#include "report/bb_code_writer.h"  // BBBold, BBCodeBlock, BBUrl for bbOptions
#include "report/key_path.h"
#include "report/output_file.h"
#include "report/report_writer.h"

namespace corvalis {

// outputs mask
constexpr unsigned OutputHtml = 1;
constexpr unsigned OutputBBCode = 2;
constexpr unsigned OutputText = 4;
constexpr unsigned OutputDataFiles = 8;
constexpr unsigned OutputJson = 16;

class ResultReport {
 public:
  // Creates base+".htm", base+".txt", base+".bb.txt" and base+".json" as the outputs
  // mask asks.
  ResultReport(const char* baseName, unsigned bbOptions, unsigned outputs);
  ~ResultReport();
  ResultReport(const ResultReport&) = delete;
  ResultReport& operator=(const ResultReport&) = delete;

  // True when the HTML page could be created.
  bool isOpen() const;
  // Finishes the JSON, BB-code, text and HTML writers, in that order, then renames the data
  // files and the reports into place together: every file is complete under its
  // temporary name before the first rename. Returns false when a requested report
  // file could not be created or not be written completely; failedFiles() names them
  // and fileErrors() says why. Data files go their own way: dataFileOutcomes().
  bool close();
  const std::vector<std::string>& failedFiles() const { return failedFiles_; }
  const std::vector<std::string>& fileErrors() const { return fileErrors_; }
  // The group the tests write their data files into, committed by close().
  FileGroup& dataFiles() { return dataFiles_; }
  // What became of each data file; complete after close().
  std::vector<FileOutcome> dataFileOutcomes() const { return dataFiles_.outcomes(); }
  unsigned outputs() const { return outputs_; }
  const char* linkBase() const { return linkBase_.c_str(); }

  // Texts: 'value' may come from outside the program (driver strings, the comment, a
  // mode description); every control character in it becomes a blank, and each writer
  // makes it safe for its format (HTML entities, BB-code tags broken). 'htmlText' is
  // the report's own markup and is written as it is; titles, keys and labels are fixed.
  // A value that is not a finite number is written as NonFiniteValueText everywhere.
  void beginTestSection(const char* title, const char* key, bool skipped);
  void beginInfoSection(const char* title, const char* key, const char* link);
  void addItem(const char* value, const char* htmlText, const char* label);
  void beginGroup(const char* title, const char* key);
  void beginGroupWithLink(const char* title, const char* key, const char* linkText,
                          const char* fileSuffix);
  void endGroup();
  // A measured value: its number on every report, its samples, evidence and GL errors
  // (where it has them) in the machine-readable form. A plain number is a value of one
  // measurement.
  void addValue(const Measured& measured, const char* unit, const char* htmlText,
                const char* label);
  void addBinaryValue(const Measured& measured, const char* unit, const char* htmlText,
                      const char* label, const char* linkText, const char* fileSuffix);

  // For the machine-readable form only: the run's settings, the evidence of a detection
  // that found nothing (under the key path its line has or would have), and the rows of
  // a data file.
  void setRunSettings(const RunSettings& settings);
  void addEvidence(const char* label, const Evidence& evidence);
  void addSweep(const std::string& name, const std::vector<SweepRow>& rows);
  // The GL errors seen while the value under 'label' was measured, for a value given
  // without a Measured (a detection that found nothing); addValue notes a Measured's own.
  void addGlError(const char* label, const std::string& glError);

  // Per test section (by its key), the largest max / min of the samples of any value or
  // data-file field the section was given; NaN where a set of samples failed (a repeat
  // without a finite rate, or a rate of 0). A section given no samples has no entry.
  const std::map<std::string, double>& largestSpreads() const { return largestSpreads_; }

  // Every detection given with its evidence, in report order: its key path, the answer
  // as the reports show it ("4", "16 kiB", "none") and the evidence.
  struct Detection {
    std::string key;
    std::string answer;
    Evidence evidence;
  };
  const std::vector<Detection>& detections() const { return detections_; }

  // Every value measured while the driver reported GL errors, in report order: its key
  // path and the errors' names ("GL_INVALID_ENUM").
  struct GlErrorNote {
    std::string key;
    std::string glError;
  };
  const std::vector<GlErrorNote>& glErrors() const { return glErrors_; }

  // The key paths of the values measured in rounds whose 95 % interval is still wider
  // than NarrowIntervalWidth, in report order.
  const std::vector<std::string>& openValues() const { return openValues_; }

 private:
  // The heading and key level of a section; the section before it ends.
  void openSection(const char* title, const char* key, const char* link, bool skipped);
  void addMeasured(const ReportValue& value, const char* htmlText, const char* label);
  // Records a detection's evidence under its line's key with the answer the reports show.
  void noteEvidence(const ReportLine& line, const std::string& answer, const Evidence& evidence);
  // Records the GL errors seen while a line's value was measured; nothing when none.
  void noteGlError(const ReportLine& line, const std::string& glError);
  // Counts the samples of a value or field toward the open test section's spread.
  void noteSpread(const std::vector<double>& samples);

  // In order of creation: page, text, BB code, JSON. close() finishes them the other way
  // round, so the page is renamed into place last.
  std::vector<std::unique_ptr<ReportWriter>> writers_;
  const ReportWriter* page_ = nullptr;
  unsigned outputs_ = 0;
  std::string sectionKey_;  // the open test section's key; empty outside one
  std::map<std::string, double> largestSpreads_;
  KeyPath keyPath_;  // the open section's and groups' keys, as the text report has them
  std::vector<Detection> detections_;
  std::vector<GlErrorNote> glErrors_;
  std::vector<std::string> openValues_;
  std::string linkBase_;
  std::vector<std::string> failedFiles_;
  std::vector<std::string> fileErrors_;
  FileGroup dataFiles_;
  bool closed_ = false;
};

}  // namespace corvalis
