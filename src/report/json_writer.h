#pragma once
// The machine-readable result, BASE.json: the run's settings, the information section,
// every report value under the text report's key path (as text and as a number in base
// units, with its repeats and the GL errors seen while it was measured), the rows of the
// data files and, for detections measured with repeats, their evidence. Written when it
// finishes.

#include <memory>
#include <string>
#include <vector>

#include "framework/measured.h"
#include "report/key_path.h"
#include "report/output_file.h"

namespace corvalis {

// How the run was made, as the document's "settings" object shows it.
struct RunSettings {
  int width = 0;
  int height = 0;
  std::vector<std::string> tests;  // keys of the selected tests, registry order
  bool swapSync = false;
  int repeat = 1;
  std::string device;  // the backend's description line
};

// One column of a data-file row: its number and, with repeats, the samples behind it.
struct SweepField {
  std::string name;
  double value = 0.0;
  std::vector<double> samples;
};
using SweepRow = std::vector<SweepField>;

class JsonWriter {
 public:
  // Creates the file; without a file every call still builds the document but
  // finish() reports the failure.
  explicit JsonWriter(const char* fileName);
  ~JsonWriter();
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }

  void setSettings(const RunSettings& settings);
  // The key path, kept as the text report keeps it; a null key adds no level.
  void pushKey(const char* key);
  void popKey();
  // A value shown as text only. Texts are ISO-8859-1 like the reports; the document
  // holds them in UTF-8.
  void addText(const char* label, const char* text);
  // A number with the text the text report shows for it, its unit and its samples
  // (none with one measurement).
  void addNumber(const char* label, const std::string& text, double value, const char* unit,
                 const std::vector<double>& samples);
  // The evidence of a detection under the key path of its value, in the top-level
  // "evidence" object, which only a document with evidence has.
  void addEvidence(const char* label, const Evidence& evidence);
  // The rows of one data file, keyed by its suffix without dots and "csv" ("rgba").
  void addSweep(const std::string& name, const std::vector<SweepRow>& rows);
  // The GL errors seen while the value under 'label' was measured, as "glError" in its
  // entry of "values" (after the value's own fields; an entry of its own where the value
  // has no line).
  void addGlError(const char* label, const std::string& glError);
  // Writes the document (2-space indent, LF) and closes the file, renaming it into place
  // unless commitNow is false (then output().commit() does); false when it could not be
  // created or written completely.
  bool finish(bool commitNow = true);
  OutputFile& output() { return file_; }

 private:
  struct Document;
  std::unique_ptr<Document> document_;
  OutputFile file_;
  KeyPath keyPath_;
};

}  // namespace corvalis
