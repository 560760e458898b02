#pragma once
// The machine-readable result, BASE.json: the run's settings, the information section,
// every report value under the text report's key path (as text and as a number in base
// units, with its repeats and the GL errors seen while it was measured), the rows of the
// data files and, for detections measured with repeats, their evidence. Written when it
// finishes.

#include <memory>
#include <string>
#include <vector>

#include "report/report_writer.h"

namespace corvalis {

class JsonWriter : public ReportWriter {
 public:
  // Creates the file; without a file every call still builds the document, and the
  // report counts the file as lost.
  explicit JsonWriter(const char* fileName);
  ~JsonWriter() override;

  // The information section's texts go to "info" by label, every other line to
  // "values" by its key. Texts are ISO-8859-1 like the reports; the document holds them
  // in UTF-8. A value keeps the text the text report shows for it, its number in base
  // units, its unit and its samples (none with one measurement); a value that is not a
  // finite number is a text alone.
  void addText(const ReportLine& line, const char* text) override;
  void addValue(const ReportLine& line, const ReportValue& value) override;
  void setRunSettings(const RunSettings& settings) override;
  // The evidence of a detection under the key of its line, in the top-level "evidence"
  // object, which only a document with evidence has.
  void addEvidence(const ReportLine& line, const Evidence& evidence) override;
  // The GL errors seen while the line's value was measured, as "glError" in its entry of
  // "values" (after the value's own fields; an entry of its own where the value has no
  // line).
  void addGlError(const ReportLine& line, const std::string& glError) override;
  // The rows of one data file, keyed by its suffix without dots and "csv" ("rgba").
  void addSweep(const std::string& name, const std::vector<SweepRow>& rows) override;

 private:
  // The document, 2-space indent, LF line ends.
  void writeEnd() override;

  struct Document;
  std::unique_ptr<Document> document_;
};

}  // namespace corvalis
