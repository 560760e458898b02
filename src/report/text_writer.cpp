#include "report/text_writer.h"

#include "report/result_report.h"

namespace corvalis {

TextWriter::TextWriter(const char* fileName) {
  if (fileName == nullptr || !file_.open(fileName)) return;
  file_.write("[");
  file_.write(ProgramVersion);
  file_.write("]\n");
}

void TextWriter::pushKey(const char* key) {
  if (key == nullptr) return;
  // NOTE: the key path grows as needed; no level is ever cut short.
  keyPath_ += key;
  keyPath_ += ':';
  levelEnds_.push_back(keyPath_.size());
}

void TextWriter::popKey() {
  if (levelEnds_.empty()) return;
  levelEnds_.pop_back();
  keyPath_.resize(levelEnds_.empty() ? 0 : levelEnds_.back());
}

void TextWriter::writeValue(const char* key, const char* value) {
  if (key == nullptr || !file_.isOpen()) return;
  file_.write(keyPath_);
  file_.write(key);
  file_.write("=");
  file_.write(value);
  file_.write("\n");
}

bool TextWriter::finish(bool commitNow) {
  levelEnds_.clear();
  keyPath_.clear();
  return commitNow ? file_.close() : file_.finish();
}

}  // namespace corvalis
