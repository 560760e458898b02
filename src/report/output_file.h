#pragma once
// A report or data file as bytes: every line feed written is stored as CR LF on every
// platform, and a write that does not reach the disk is remembered, so that a short
// file is never reported as written.
//
// The bytes go to a new file beside the target and are renamed over it only once every
// write, the flush and the close succeeded: a failure, or a stop request (Ctrl-C) before
// the rename, leaves the previous file as it was and no partial file behind. A target
// that is a device (/dev/full, /dev/stdout) is written directly.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace corvalis {

class OutputFile {
 public:
  OutputFile() = default;
  // Throws away whatever was not renamed into place.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts the file; false when it cannot be created (error() says why).
  bool open(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  // Writes text, each "\n" as "\r\n". Does nothing when the file is not open. A string
  // is written by its length, so a NUL byte in it neither ends it nor cuts the file.
  void write(const char* text);
  void write(const std::string& text);
  // Writes the bytes as they are, line feeds included (files that are not CR LF text).
  void writeBytes(const std::string& bytes);
  // printf-style, C-locale numbers.
  void print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Flushes and closes the stream, keeping the complete bytes under the temporary name;
  // false (and the temporary removed) when any write or the close failed.
  bool finish();
  // Renames the finished file into place; false when that fails or a stop was
  // requested, the temporary then removed.
  bool commit();
  // finish() and commit(). A file that was never opened closes "successfully" (there
  // was nothing to lose); error() still tells whether it could be created.
  bool close();
  // Records a file that was never attempted, for a reason of the caller's.
  void refuse(const std::string& path, const std::string& reason);

  // True once a write, the close or the rename failed.
  bool failed() const { return failed_; }
  // The target's path.
  const std::string& path() const { return path_; }
  // "could not create PATH: reason", "could not write PATH completely: reason", ...;
  // empty while nothing went wrong.
  const std::string& error() const { return error_; }
  // True once the file stands complete at its path.
  bool committed() const { return committed_; }

 private:
  void fail(const std::string& message);
  void discard();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string tempPath_;  // empty when writing directly or nothing is pending
  std::string error_;
  bool failed_ = false;
  bool finished_ = false;
  bool committed_ = false;
};

// What became of one file.
struct FileOutcome {
  std::string path;
  std::string error;  // empty: written completely
};

// Files written one after another and renamed into place together at the end, so that
// a run stopped before then replaces none of them.
class FileGroup {
 public:
  // A new member opened at path; check isOpen() (error() says why it is not).
  OutputFile& create(const std::string& path);
  // A member that is not attempted, failed for the given reason.
  void refuse(const std::string& path, const std::string& reason);
  // Finishes the members still open, then renames each complete one into place.
  void commitAll();
  // Every member in order of creation, as things stand.
  std::vector<FileOutcome> outcomes() const;

 private:
  std::vector<std::unique_ptr<OutputFile>> files_;
};

}  // namespace corvalis
