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

bool openDataFile(OutputFile& file, const char* baseName, const char* suffix) {
  std::string path = dataFileName(baseName, suffix);
  if (path.empty()) return false;
  return file.open(path);
}

std::string csvNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return formatC("%f", value);
}

}  // namespace corvalis
