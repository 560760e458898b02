#include "report/bb_code_writer.h"

#include <cstring>

namespace corvalis {

namespace {

// Width of a group line without tags, and the column where item values begin (+2).
constexpr int kGroupLineWidth = 48;
constexpr int kValueColumn = 22;

int textLength(const char* text) { return static_cast<int>(std::strlen(text)); }

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string breakBBCodeTags(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '[') continue;
    size_t j = i + 1;
    if (j < out.size() && out[j] == '/') ++j;
    // "[*]" opens a list item on its own, without a letter.
    if (j + 1 < out.size() && out[j] == '*' && out[j + 1] == ']') {
      out[i] = '(';
      continue;
    }
    if (j >= out.size() || !isAsciiLetter(out[j])) continue;
    while (j < out.size() &&
           (isAsciiLetter(out[j]) || (out[j] >= '0' && out[j] <= '9') || out[j] == '*'))
      ++j;
    if (j < out.size() && (out[j] == ']' || out[j] == '=')) out[i] = '(';
  }
  return out;
}

BBCodeWriter::BBCodeWriter(const char* fileName, unsigned bbOptions)
    : ReportWriter(fileName), bbOptions_(bbOptions) {
  if (file_.isOpen() && (bbOptions_ & BBCodeBlock)) file_.write("[CODE]");
}

void BBCodeWriter::writeRepeated(char c, int count) {
  if (count <= 0) return;
  file_.write(std::string(static_cast<size_t>(count), c));
}

void BBCodeWriter::openGroup(const char* title, const char* url) {
  if (!file_.isOpen() || title == nullptr) return;
  const bool bold = (bbOptions_ & BBBold) != 0;
  if (groupDepth_ <= 0) {
    const bool link = (bbOptions_ & BBUrl) != 0 && url != nullptr;
    if (bold) file_.write("[b]");
    if (link) {
      file_.write("[url=");
      file_.write(url);
      file_.write("]");
    }
    file_.write(title);
    if (link) file_.write("[/url]");
    if (bold) file_.write("[/b]");
    file_.write("\n");
    groupDepth_ = 1;
    return;
  }
  for (int i = 0; i < groupDepth_; ++i) file_.write("--");
  if (bold) file_.write("[b]");
  file_.write(title);
  if (bold) file_.write("[/b]");
  writeRepeated('-', kGroupLineWidth - 2 * groupDepth_ - textLength(title));
  file_.write("\n");
  ++groupDepth_;
}

void BBCodeWriter::closeGroup() {
  if (!file_.isOpen() || groupDepth_ <= 0) return;
  --groupDepth_;
  file_.write("\n");
}

void BBCodeWriter::closeAllGroups() {
  if (!file_.isOpen()) return;
  while (groupDepth_ > 0) {
    --groupDepth_;
    file_.write("\n");
  }
}

void BBCodeWriter::writeItem(const char* label, const char* value) {
  if (!file_.isOpen() || label == nullptr) return;
  if (groupDepth_ >= 2) writeRepeated(' ', 2 * groupDepth_ - 2);
  file_.write(label);
  writeRepeated(' ', kValueColumn - 2 * groupDepth_ - textLength(label));
  file_.write(value);
  file_.write("\n");
}

void BBCodeWriter::writeEnd() {
  if (bbOptions_ & BBCodeBlock) file_.write("[/CODE]");
}

void BBCodeWriter::beginSection(const char* title, const char* link, bool skipped) {
  closeAllGroups();
  if (!skipped) openGroup(title, link);
}

void BBCodeWriter::beginGroup(const char* title, const DataFileLink* /*link*/) {
  openGroup(title, nullptr);
}

void BBCodeWriter::endGroup() { closeGroup(); }

void BBCodeWriter::addText(const ReportLine& line, const char* text) {
  if (text != nullptr) writeItem(line.label, breakBBCodeTags(text).c_str());
}

void BBCodeWriter::addValue(const ReportLine& line, const ReportValue& value) {
  writeItem(line.label, displayText(value).c_str());
}

}  // namespace corvalis
