#pragma once
// A report or data file as bytes: every line feed written is stored as CR LF on every
// platform, and a write that does not reach the disk is remembered, so that a short
// file is never reported as written.

#include <cstdio>
#include <string>

namespace corvalis {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates (replaces) the file; false when it cannot be created.
  bool open(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  // Writes text, each "\n" as "\r\n". Does nothing when the file is not open.
  void write(const char* text);
  void write(const std::string& text) { write(text.c_str()); }
  // Writes the bytes as they are, line feeds included (files that are not CR LF text).
  void writeBytes(const std::string& bytes);
  // printf-style, C-locale numbers.
  void print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Flushes and closes; false when any write or the close failed. A file that was
  // never opened closes "successfully" (there was nothing to lose).
  bool close();
  // True once a write to an open file failed.
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  bool failed_ = false;
};

}  // namespace corvalis
