#include "report/result_report.h"

#include <algorithm>
#include <cmath>

#include "framework/format.h"
#include "framework/sample_stats.h"
#include "report/html_writer.h"
#include "report/json_writer.h"
#include "report/text_writer.h"

namespace corvalis {

namespace {

// NOTE: texts are composed in growable strings, so a long comment or driver string
// is kept whole on every output instead of being cut at a fixed buffer size.

std::string orEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

ResultReport::ResultReport(const char* baseName, unsigned bbOptions, unsigned outputs)
    : outputs_(outputs) {
  const std::string base = orEmpty(baseName);
  // The page links its data files relative to its own folder, so the link base is the
  // file name alone. Both separators count: a base name with forward slashes (any Linux
  // path, and a valid Windows one) would otherwise give links that lead nowhere.
  const size_t slash = base.find_last_of("\\/");
  linkBase_ = slash == std::string::npos ? base : base.substr(slash + 1);

  if (outputs & OutputHtml) {
    writers_.push_back(std::make_unique<HtmlWriter>((base + ".htm").c_str(), linkBase_));
    page_ = writers_.back().get();
    // A report whose page cannot be created runs nothing and must leave no other file
    // behind, so the other files are only created once the page exists.
    if (!page_->isOpen()) return;
  }
  if (outputs & OutputText) writers_.push_back(std::make_unique<TextWriter>((base + ".txt").c_str()));
  if (outputs & OutputBBCode)
    writers_.push_back(std::make_unique<BBCodeWriter>((base + ".bb.txt").c_str(), bbOptions));
  if (outputs & OutputJson) writers_.push_back(std::make_unique<JsonWriter>((base + ".json").c_str()));
}

ResultReport::~ResultReport() { close(); }

bool ResultReport::isOpen() const { return page_ != nullptr && page_->isOpen(); }

bool ResultReport::close() {
  if (closed_) return failedFiles_.empty();
  closed_ = true;
  // Every file is complete under its temporary name before the first one is renamed,
  // so a stop request in between replaces none of them. A requested file that could
  // not be created counts as lost as much as one that could not be written completely.
  std::vector<bool> opened;
  for (const auto& writer : writers_) opened.push_back(writer->isOpen());
  for (auto writer = writers_.rbegin(); writer != writers_.rend(); ++writer)
    (*writer)->finish(false);
  dataFiles_.commitAll();
  for (size_t i = writers_.size(); i-- > 0;) {
    OutputFile& file = writers_[i]->output();
    if (file.commit() && opened[i]) continue;
    failedFiles_.push_back(file.path());
    fileErrors_.push_back(file.error().empty() ? "could not create " + file.path() : file.error());
  }
  writers_.clear();
  page_ = nullptr;
  return failedFiles_.empty();
}

void ResultReport::openSection(const char* title, const char* key, const char* link,
                               bool skipped) {
  keyPath_.pop();
  if (!skipped) keyPath_.push(key);
  for (auto& writer : writers_) writer->beginSection(title, link, skipped);
}

void ResultReport::beginTestSection(const char* title, const char* key, bool skipped) {
  sectionKey_ = !skipped && key != nullptr ? key : "";
  openSection(title, key, nullptr, skipped);
}

void ResultReport::beginInfoSection(const char* title, const char* key, const char* link) {
  sectionKey_.clear();
  openSection(title, key, link, false);
}

void ResultReport::addItem(const char* value, const char* htmlText, const char* label) {
  const std::string clean = cleanOutsideText(orEmpty(value));
  const ReportLine line{keyPath_, label, htmlText};
  for (auto& writer : writers_) writer->addText(line, value != nullptr ? clean.c_str() : nullptr);
}

void ResultReport::beginGroup(const char* title, const char* key) {
  keyPath_.push(key);
  for (auto& writer : writers_) writer->beginGroup(title, nullptr);
}

void ResultReport::beginGroupWithLink(const char* title, const char* key, const char* linkText,
                                      const char* fileSuffix) {
  const DataFileLink link{linkText, fileSuffix};
  keyPath_.push(key);
  for (auto& writer : writers_) writer->beginGroup(title, &link);
}

void ResultReport::endGroup() {
  keyPath_.pop();
  for (auto& writer : writers_) writer->endGroup();
}

void ResultReport::addValue(const Measured& measured, const char* unit, const char* htmlText,
                            const char* label) {
  addMeasured({measured, unit, false, nullptr}, htmlText, label);
}

void ResultReport::addBinaryValue(const Measured& measured, const char* unit,
                                  const char* htmlText, const char* label, const char* linkText,
                                  const char* fileSuffix) {
  const DataFileLink link{linkText, fileSuffix};
  addMeasured({measured, unit, true, &link}, htmlText, label);
}

void ResultReport::addMeasured(const ReportValue& value, const char* htmlText,
                               const char* label) {
  noteSpread(value.measured.samples);
  const ReportLine line{keyPath_, label, htmlText};
  if (value.measured.samples.size() > 1 && label != nullptr &&
      !narrowInterval(value.measured.samples))
    openValues_.push_back(line.key());
  for (auto& writer : writers_) writer->addValue(line, value);
  if (value.measured.evidence) noteEvidence(line, displayText(value), *value.measured.evidence);
  noteGlError(line, value.measured.glError);
}

void ResultReport::setRunSettings(const RunSettings& settings) {
  for (auto& writer : writers_) writer->setRunSettings(settings);
}

void ResultReport::addEvidence(const char* label, const Evidence& evidence) {
  noteEvidence({keyPath_, label, nullptr}, "none", evidence);
}

void ResultReport::noteEvidence(const ReportLine& line, const std::string& answer,
                                const Evidence& evidence) {
  detections_.push_back({line.key(), answer, evidence});
  for (auto& writer : writers_) writer->addEvidence(line, evidence);
}

void ResultReport::addGlError(const char* label, const std::string& glError) {
  noteGlError({keyPath_, label, nullptr}, glError);
}

void ResultReport::noteGlError(const ReportLine& line, const std::string& glError) {
  if (glError.empty() || line.label == nullptr) return;
  glErrors_.push_back({line.key(), glError});
  for (auto& writer : writers_) writer->addGlError(line, glError);
}

void ResultReport::addSweep(const std::string& name, const std::vector<SweepRow>& rows) {
  for (const SweepRow& row : rows)
    for (const SweepField& field : row) noteSpread(field.samples);
  for (auto& writer : writers_) writer->addSweep(name, rows);
}

void ResultReport::noteSpread(const std::vector<double>& samples) {
  if (samples.size() < 2 || sectionKey_.empty()) return;
  const double spread = spreadOf(summarizeSamples(samples));
  const auto [entry, added] = largestSpreads_.emplace(sectionKey_, spread);
  // A failed set stays failed: no larger spread elsewhere hides it.
  if (!added && !std::isnan(entry->second))
    entry->second = std::isnan(spread) ? spread : std::max(entry->second, spread);
}

}  // namespace corvalis
