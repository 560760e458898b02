#pragma once
// The key path of a value in the text report and BASE.json: the keys of the open
// section and groups, each followed by ':'. A group without a key adds no level, yet
// closing any group drops the innermost level there is, as the text report does.

#include <string>
#include <vector>

namespace corvalis {

class KeyPath {
 public:
  void push(const char* key);
  void pop();
  // "Tiling:Color:" inside that group; empty outside every section.
  const std::string& prefix() const { return path_; }
  // The full key of a label at this level.
  std::string of(const char* label) const { return path_ + (label ? label : ""); }

 private:
  std::string path_;
  std::vector<size_t> levelEnds_;
};

}  // namespace corvalis
