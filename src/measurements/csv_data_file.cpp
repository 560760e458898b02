#include "measurements/csv_data_file.h"

#include <cmath>
#include <cstring>

#include "framework/format.h"

namespace corvalis {

std::string dataFileName(const char* baseName, const char* suffix) {
  if (!baseName || !suffix) return std::string();
  if (std::strlen(baseName) + std::strlen(suffix) > MaxDataFileName) return std::string();
  return std::string(baseName) + suffix;
}

OutputFile* openDataFile(FileGroup& files, const char* baseName, const char* suffix) {
  if (!baseName || !suffix) return nullptr;
  std::string path = dataFileName(baseName, suffix);
  if (path.empty()) {
    files.refuse(std::string(baseName) + suffix,
                 "the name is longer than " + std::to_string(MaxDataFileName) + " characters");
    return nullptr;
  }
  OutputFile& file = files.create(path);
  return file.isOpen() ? &file : nullptr;
}

std::string csvNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return formatC("%f", value);
}

}  // namespace corvalis
