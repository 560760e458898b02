#pragma once
// The machine-readable form of the report: a "[Corvalis VERSION]" header, then one line
// per value made of the key path, the key, "=" and the value.

#include <cstddef>
#include <string>
#include <vector>

#include "report/key_path.h"
#include "report/output_file.h"

namespace corvalis {

class TextWriter {
 public:
  // Creates the file and writes the header line; without a file every call does nothing.
  explicit TextWriter(const char* fileName);

  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }
  // The keys of all open levels, each followed by ':'.
  const std::string& keyPath() const { return keyPath_.prefix(); }

  // Adds one level to the key path; a null key adds none.
  void pushKey(const char* key);
  // Drops the innermost level; nothing when there is none.
  void popKey();
  // One line "<key path><key>=<value>"; nothing when the key is null.
  void writeValue(const char* key, const char* value);
  // Closes the file, renaming it into place unless the caller does that later
  // (output().commit()); false when it could not be written completely.
  bool finish(bool commitNow = true);
  OutputFile& output() { return file_; }

 private:
  OutputFile file_;
  KeyPath keyPath_;
};

}  // namespace corvalis
