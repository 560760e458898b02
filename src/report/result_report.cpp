#include "report/result_report.h"

#include <algorithm>
#include <cmath>

#include "framework/format.h"
#include "framework/sample_stats.h"
#include "report/bb_code_writer.h"
#include "report/html_writer.h"
#include "report/text_writer.h"

namespace corvalis {

namespace {

// NOTE: texts are composed in growable strings, so a long comment or driver string
// is kept whole on every output instead of being cut at a fixed buffer size.

std::string orEmpty(const char* text) { return text != nullptr ? text : ""; }

// A value text from outside, control characters blanked.
std::string outsideText(const char* text) { return cleanOutsideText(orEmpty(text)); }

// "%d " of a value truncated toward zero; values beyond int keep all their digits.
std::string truncatedInteger(double value) {
  double whole = std::trunc(value);
  if (whole == 0.0 || std::isnan(whole)) whole = 0.0;  // no "-0"
  if (whole >= -2147483648.0 && whole <= 2147483647.0) {
    return formatC("%d ", static_cast<int>(whole));
  }
  return formatC("%.0f ", whole);
}

// The link from the page to a data file beside it.
std::string dataFileLink(const std::string& linkBase, const char* fileSuffix,
                         const char* linkText) {
  // The base name is the user's; the suffix and the link text are the report's own.
  return "<a href=\"" + escapeHtml(linkBase) + orEmpty(fileSuffix) + "\">" + orEmpty(linkText) +
         "</a>";
}

}  // namespace

ResultReport::ResultReport(const char* baseName, unsigned bbOptions, unsigned outputs)
    : outputs_(outputs) {
  const std::string base = orEmpty(baseName);
  if (outputs & OutputHtml) html_ = std::make_unique<HtmlWriter>((base + ".htm").c_str());
  // A report whose page cannot be created runs nothing and must leave no other file
  // behind, so the text and BB-code files are only created once the page exists.
  const bool pageMissing = html_ && !html_->isOpen();
  if ((outputs & OutputText) && !pageMissing)
    text_ = std::make_unique<TextWriter>((base + ".txt").c_str());
  if ((outputs & OutputBBCode) && !pageMissing) {
    bbCode_ = std::make_unique<BBCodeWriter>((base + ".bb.txt").c_str(), bbOptions);
  }
  if ((outputs & OutputJson) && !pageMissing)
    json_ = std::make_unique<JsonWriter>((base + ".json").c_str());
  // The page links its data files relative to its own folder, so the link base is the
  // file name alone. Both separators count: a base name with forward slashes (any Linux
  // path, and a valid Windows one) would otherwise give links that lead nowhere.
  size_t slash = base.find_last_of("\\/");
  linkBase_ = slash == std::string::npos ? base : base.substr(slash + 1);
}

ResultReport::~ResultReport() { close(); }

bool ResultReport::isOpen() const { return html_ != nullptr && html_->isOpen(); }

bool ResultReport::close() {
  if (closed_) return failedFiles_.empty();
  closed_ = true;
  // Every file is complete under its temporary name before the first one is renamed,
  // so a stop request in between replaces none of them. A requested file that could
  // not be created counts as lost as much as one that could not be written completely.
  bool opened[4] = {json_ && json_->isOpen(), bbCode_ && bbCode_->isOpen(),
                    text_ && text_->isOpen(), html_ && html_->isOpen()};
  if (json_) json_->finish(false);
  if (bbCode_) bbCode_->finish(false);
  if (text_) text_->finish(false);
  if (html_) html_->finish(false);
  dataFiles_.commitAll();
  OutputFile* outputs[4] = {json_ ? &json_->output() : nullptr,
                            bbCode_ ? &bbCode_->output() : nullptr,
                            text_ ? &text_->output() : nullptr,
                            html_ ? &html_->output() : nullptr};
  for (int i = 0; i < 4; ++i) {
    if (!outputs[i]) continue;
    if (!outputs[i]->commit() || !opened[i]) {
      failedFiles_.push_back(outputs[i]->path());
      fileErrors_.push_back(outputs[i]->error().empty() ? "could not create " + outputs[i]->path()
                                                         : outputs[i]->error());
    }
  }
  json_.reset();
  bbCode_.reset();
  text_.reset();
  html_.reset();
  return failedFiles_.empty();
}

void ResultReport::beginTestSection(const char* title, const char* key, bool skipped) {
  sectionKey_ = !skipped && key != nullptr ? key : "";
  if (html_) html_->writeHeading(title, nullptr);
  keyPath_.pop();
  if (!skipped) keyPath_.push(key);
  if (text_) {
    text_->popKey();
    if (!skipped && key != nullptr) text_->pushKey(key);
  }
  if (json_) {
    json_->popKey();
    if (!skipped && key != nullptr) json_->pushKey(key);
  }
  if (bbCode_) {
    bbCode_->closeAllGroups();
    if (!skipped && title != nullptr) bbCode_->openGroup(title, nullptr);
  }
}

void ResultReport::beginInfoSection(const char* title, const char* key, const char* link) {
  sectionKey_.clear();
  if (html_) html_->writeHeading(title, link);
  keyPath_.pop();
  keyPath_.push(key);
  if (text_) {
    text_->popKey();
    if (key != nullptr) text_->pushKey(key);
  }
  if (json_) {
    json_->popKey();
    if (key != nullptr) json_->pushKey(key);
  }
  if (bbCode_) {
    bbCode_->closeAllGroups();
    if (title != nullptr) bbCode_->openGroup(title, link);
  }
}

void ResultReport::addItem(const char* value, const char* htmlText, const char* label) {
  const std::string clean = outsideText(value);
  if (html_) {
    std::string line;
    if (htmlText != nullptr) {
      line = escapeHtml(clean) + htmlText;
    } else {
      if (label != nullptr) line = std::string(label) + ": ";
      line += escapeHtml(clean);
    }
    html_->writeLine(line.c_str());
  }
  if (value == nullptr) return;
  if (text_) text_->writeValue(label, clean.c_str());
  if (bbCode_) bbCode_->writeItem(label, breakBBCodeTags(clean).c_str());
  if (json_) json_->addText(label, clean.c_str());
}

void ResultReport::beginGroup(const char* title, const char* key) {
  keyPath_.push(key);
  if (html_) html_->openList(title);
  if (text_) text_->pushKey(key);
  if (json_) json_->pushKey(key);
  if (bbCode_) bbCode_->openGroup(title, nullptr);
}

void ResultReport::beginGroupWithLink(const char* title, const char* key, const char* linkText,
                                      const char* fileSuffix) {
  if (html_) {
    std::string heading =
        orEmpty(title) + " (" + dataFileLink(linkBase_, fileSuffix, linkText) + ")";
    html_->openList(heading.c_str());
  }
  keyPath_.push(key);
  if (text_) text_->pushKey(key);
  if (json_) json_->pushKey(key);
  if (bbCode_) bbCode_->openGroup(title, nullptr);
}

void ResultReport::endGroup() {
  keyPath_.pop();
  if (html_) html_->closeList();
  if (text_) text_->popKey();
  if (json_) json_->popKey();
  if (bbCode_) bbCode_->closeGroup();
}

void ResultReport::addValue(const Measured& measured, const char* unit, const char* htmlText,
                            const char* label) {
  const double value = measured.value;
  noteSpread(measured.samples);
  if (!std::isfinite(value)) {
    addNonFiniteValue(htmlText, label);
    if (measured.evidence) noteEvidence(label, NonFiniteValueText, *measured.evidence);
    addGlError(label, measured.glError);
    return;
  }
  std::string display = formatDecimal(value) + orEmpty(unit);
  if (bbCode_) bbCode_->writeItem(label, display.c_str());
  if (html_) html_->writeListItem((display + orEmpty(htmlText)).c_str());
  const std::string number =
      value > 500000.0 ? formatC("%.3f M ", value * 0.000001) : truncatedInteger(value);
  if (text_) text_->writeValue(label, (number + orEmpty(unit)).c_str());
  if (json_) json_->addNumber(label, number + orEmpty(unit), value, unit, measured.samples);
  if (measured.evidence) noteEvidence(label, display, *measured.evidence);
  addGlError(label, measured.glError);
}

void ResultReport::addBinaryValue(const Measured& measured, const char* unit,
                                  const char* htmlText, const char* label, const char* linkText,
                                  const char* fileSuffix) {
  const double value = measured.value;
  noteSpread(measured.samples);
  if (!std::isfinite(value)) {
    addNonFiniteValue(htmlText, label);
    if (measured.evidence) noteEvidence(label, NonFiniteValueText, *measured.evidence);
    addGlError(label, measured.glError);
    return;
  }
  std::string display = formatBinary(value) + orEmpty(unit);
  if (bbCode_) bbCode_->writeItem(label, display.c_str());
  if (html_) {
    std::string line = display + orEmpty(htmlText);
    if (linkText != nullptr && fileSuffix != nullptr) {
      line += "(" + dataFileLink(linkBase_, fileSuffix, linkText) + ")";
    }
    html_->writeListItem(line.c_str());
  }
  const std::string number =
      value > 524288.0 ? formatC("%.3f Mi ", value / 1048576.0) : truncatedInteger(value);
  if (text_) text_->writeValue(label, (number + orEmpty(unit)).c_str());
  if (json_) json_->addNumber(label, number + orEmpty(unit), value, unit, measured.samples);
  if (measured.evidence) noteEvidence(label, display, *measured.evidence);
  addGlError(label, measured.glError);
}

void ResultReport::setRunSettings(const RunSettings& settings) {
  if (json_) json_->setSettings(settings);
}

void ResultReport::addEvidence(const char* label, const Evidence& evidence) {
  noteEvidence(label, "none", evidence);
}

void ResultReport::noteEvidence(const char* label, const std::string& answer,
                                const Evidence& evidence) {
  detections_.push_back({keyPath_.of(label), answer, evidence});
  if (json_) json_->addEvidence(label, evidence);
}

void ResultReport::addSweep(const std::string& name, const std::vector<SweepRow>& rows) {
  for (const SweepRow& row : rows)
    for (const SweepField& field : row) noteSpread(field.samples);
  if (json_) json_->addSweep(name, rows);
}

void ResultReport::addGlError(const char* label, const std::string& glError) {
  if (glError.empty() || label == nullptr) return;
  glErrors_.push_back({keyPath_.of(label), glError});
  if (json_) json_->addGlError(label, glError);
}

void ResultReport::noteSpread(const std::vector<double>& samples) {
  if (samples.size() < 2 || sectionKey_.empty()) return;
  const double spread = spreadOf(summarizeSamples(samples));
  const auto [entry, added] = largestSpreads_.emplace(sectionKey_, spread);
  // A failed set stays failed: no larger spread elsewhere hides it.
  if (!added && !std::isnan(entry->second))
    entry->second = std::isnan(spread) ? spread : std::max(entry->second, spread);
}

void ResultReport::addNonFiniteValue(const char* htmlText, const char* label) {
  std::string display = NonFiniteValueText;
  if (bbCode_) bbCode_->writeItem(label, NonFiniteValueText);
  if (html_) html_->writeListItem((display + orEmpty(htmlText)).c_str());
  if (text_) text_->writeValue(label, NonFiniteValueText);
  if (json_) json_->addText(label, NonFiniteValueText);
}

}  // namespace corvalis
