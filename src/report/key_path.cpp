#include "report/key_path.h"

namespace corvalis {

void KeyPath::push(const char* key) {
  if (key == nullptr) return;
  // NOTE: the key path grows as needed; no level is ever cut short.
  path_ += key;
  path_ += ':';
  levelEnds_.push_back(path_.size());
}

void KeyPath::pop() {
  if (levelEnds_.empty()) return;
  levelEnds_.pop_back();
  path_.resize(levelEnds_.empty() ? 0 : levelEnds_.back());
}

}  // namespace corvalis
