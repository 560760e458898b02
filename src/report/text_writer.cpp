#include "report/text_writer.h"

#include "report/result_report.h"

namespace corvalis {

TextWriter::TextWriter(const char* fileName) {
  if (fileName == nullptr || !file_.open(fileName)) return;
  file_.write("[");
  file_.write(ProgramVersion);
  file_.write("]\n");
}

void TextWriter::pushKey(const char* key) { keyPath_.push(key); }

void TextWriter::popKey() { keyPath_.pop(); }

void TextWriter::writeValue(const char* key, const char* value) {
  if (key == nullptr || !file_.isOpen()) return;
  file_.write(keyPath_.prefix());
  file_.write(key);
  file_.write("=");
  file_.write(value);
  file_.write("\n");
}

bool TextWriter::finish(bool commitNow) {
  keyPath_ = KeyPath();
  return commitNow ? file_.close() : file_.finish();
}

}  // namespace corvalis
