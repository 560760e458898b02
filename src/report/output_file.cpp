#include "report/output_file.h"

#include <cstdarg>
#include <cstring>

#include "framework/format.h"

namespace corvalis {

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const std::string& path) {
  close();
  path_ = path;
  failed_ = false;
  // Binary mode: the line ends are written here, so the bytes are the same everywhere.
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

void OutputFile::write(const char* text) {
  if (file_ == nullptr || text == nullptr || failed_) return;
  const char* p = text;
  while (*p != '\0') {
    const char* lineFeed = std::strchr(p, '\n');
    size_t length = lineFeed != nullptr ? static_cast<size_t>(lineFeed - p) : std::strlen(p);
    if (length > 0 && std::fwrite(p, 1, length, file_) != length) {
      failed_ = true;
      return;
    }
    if (lineFeed == nullptr) return;
    if (std::fwrite("\r\n", 1, 2, file_) != 2) {
      failed_ = true;
      return;
    }
    p = lineFeed + 1;
  }
}

void OutputFile::writeBytes(const std::string& bytes) {
  if (file_ == nullptr || failed_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
}

void OutputFile::print(const char* format, ...) {
  if (file_ == nullptr) return;
  va_list args;
  va_start(args, format);
  std::string text = vformatC(format, args);
  va_end(args);
  write(text);
}

bool OutputFile::close() {
  if (file_ == nullptr) return !failed_;
  // Buffered bytes reach the file only here; a full disk or a size limit shows now.
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

}  // namespace corvalis
