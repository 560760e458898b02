#include "report/output_file.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "framework/format.h"
#include "framework/stop_request.h"
#include "platform/file_replace.h"

namespace corvalis {

namespace {

std::string systemReason(int error) {
  return error != 0 ? std::strerror(error) : std::string("unknown error");
}

}  // namespace

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  discard();
}

void OutputFile::fail(const std::string& message) {
  if (!failed_) error_ = message;
  failed_ = true;
}

void OutputFile::discard() {
  if (!tempPath_.empty()) platform::removeFile(tempPath_);
  tempPath_.clear();
}

bool OutputFile::open(const std::string& path) {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  discard();
  path_ = path;
  error_.clear();
  failed_ = finished_ = committed_ = false;
  std::string reason;
  switch (platform::pathKind(path)) {
    case platform::PathKind::Directory:
      reason = std::strerror(EISDIR);
      break;
    case platform::PathKind::Other:
      // A device or pipe cannot be replaced; it takes the bytes as they come.
      errno = 0;
      file_ = std::fopen(path.c_str(), "wb");
      if (file_ == nullptr) reason = systemReason(errno);
      break;
    default:
      file_ = platform::createFileBeside(path, tempPath_, reason);
      break;
  }
  if (file_ == nullptr) {
    error_ = "could not create " + path + ": " + reason;
    return false;
  }
  return true;
}

void OutputFile::refuse(const std::string& path, const std::string& reason) {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  discard();
  path_ = path;
  failed_ = finished_ = committed_ = false;
  error_ = "could not create " + path + ": " + reason;
}

void OutputFile::write(const char* text) {
  if (text != nullptr) write(std::string(text));
}

void OutputFile::write(const std::string& text) {
  if (file_ == nullptr || failed_) return;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lineFeed = text.find('\n', start);
    const size_t end = lineFeed != std::string::npos ? lineFeed : text.size();
    const size_t length = end - start;
    errno = 0;
    if (length > 0 && std::fwrite(text.data() + start, 1, length, file_) != length) {
      fail("could not write " + path_ + " completely: " + systemReason(errno));
      return;
    }
    if (lineFeed == std::string::npos) return;
    if (std::fwrite("\r\n", 1, 2, file_) != 2) {
      fail("could not write " + path_ + " completely: " + systemReason(errno));
      return;
    }
    start = lineFeed + 1;
  }
}

void OutputFile::writeBytes(const std::string& bytes) {
  if (file_ == nullptr || failed_ || bytes.empty()) return;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    fail("could not write " + path_ + " completely: " + systemReason(errno));
}

void OutputFile::print(const char* format, ...) {
  if (file_ == nullptr) return;
  va_list args;
  va_start(args, format);
  std::string text = vformatC(format, args);
  va_end(args);
  write(text);
}

bool OutputFile::finish() {
  if (file_ == nullptr) return !failed_;
  // Buffered bytes reach the file only here; a full disk or a size limit shows now.
  errno = 0;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0)
    fail("could not write " + path_ + " completely: " + systemReason(errno));
  errno = 0;
  if (std::fclose(file_) != 0)
    fail("could not write " + path_ + " completely: " + systemReason(errno));
  file_ = nullptr;
  finished_ = true;
  if (failed_) discard();
  return !failed_;
}

bool OutputFile::commit() {
  if (!finished_ || failed_) return !failed_;
  if (tempPath_.empty()) {  // written directly
    committed_ = true;
    return true;
  }
  if (stopRequested()) {
    discard();
    fail(path_ + " was not written: the run was interrupted");
    return false;
  }
  std::string reason;
  if (!platform::replaceFile(tempPath_, path_, reason)) {
    discard();
    fail("could not create " + path_ + ": " + reason);
    return false;
  }
  tempPath_.clear();
  committed_ = true;
  return true;
}

bool OutputFile::close() {
  if (file_ == nullptr && !finished_) return !failed_;
  bool ok = finish();
  return commit() && ok;
}

OutputFile& FileGroup::create(const std::string& path) {
  files_.push_back(std::make_unique<OutputFile>());
  files_.back()->open(path);
  return *files_.back();
}

void FileGroup::refuse(const std::string& path, const std::string& reason) {
  files_.push_back(std::make_unique<OutputFile>());
  files_.back()->refuse(path, reason);
}

void FileGroup::commitAll() {
  for (auto& file : files_) file->finish();
  for (auto& file : files_) file->commit();
}

std::vector<FileOutcome> FileGroup::outcomes() const {
  std::vector<FileOutcome> result;
  for (const auto& file : files_) {
    std::string error = file->error();
    if (error.empty() && !file->committed()) error = "could not write " + file->path();
    result.push_back({file->path(), error});
  }
  return result;
}

}  // namespace corvalis
