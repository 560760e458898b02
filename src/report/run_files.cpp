#include "report/run_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "corvalis_version.h"
#include "platform/file_replace.h"

namespace corvalis {

namespace {

const std::string ReportHeader = std::string("[") + ProgramVersion + "]";


std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos
                                                                    : comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

// Multiplier of a unit prefix at text[pos] ("k", "M", "Mi", "\xB5"...); 0 when none.
// 'length' is set to the characters it takes.
double prefixAt(const std::string& text, size_t pos, size_t& length) {
  static const char decimal[] = {'n', '\xB5', 'm', 'k', 'M', 'G', 'T'};
  static const int exponents[] = {-9, -6, -3, 3, 6, 9, 12};
  if (pos >= text.size()) return 0;
  for (size_t i = 0; i < sizeof decimal; ++i) {
    if (text[pos] != decimal[i]) continue;
    if (exponents[i] > 0 && pos + 1 < text.size() && text[pos + 1] == 'i') {
      length = 2;
      return std::pow(1024.0, exponents[i] / 3);
    }
    length = 1;
    return std::pow(10.0, exponents[i]);
  }
  return 0;
}

// The power of ten of the first significant digit of a decimal number that from_chars
// has read whole ("0.05e-3" gives -5); what matters is its sign, so a huge exponent is
// clamped.
long decimalExponent(const char* p, const char* end) {
  if (p != end && *p == '-') ++p;
  long integerDigits = 0, leadingFractionZeros = 0;
  bool point = false, significant = false;
  for (; p != end && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.'); ++p) {
    if (*p == '.') {
      point = true;
    } else if (significant || *p != '0') {
      significant = true;
      if (!point) ++integerDigits;
    } else if (point) {
      ++leadingFractionZeros;
    }
  }
  long exponent = 0, sign = 1;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p != end && (*p == '-' || *p == '+')) sign = *p++ == '-' ? -1 : 1;
    for (; p != end && std::isdigit(static_cast<unsigned char>(*p)); ++p)
      exponent = std::min(exponent * 10 + (*p - '0'), 100000000L);
  }
  const long first = integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);
  return first + sign * exponent;
}

// Whether a word is a unit the program writes whole, with no prefix in it: "Tris/s" is
// triangles per second, not tera-"ris/s".
bool isWholeUnit(const std::string& word) {
  for (const char* unit : {"Tris/s", "Tex/s"})
    if (word == unit) return true;
  return false;
}

std::string lineError(size_t index, const char* what) {
  return "line " + std::to_string(index + 1) + ": " + what;
}

std::FILE* openForReading(const std::string& path, std::string& error) {
  std::string reason;
  std::FILE* file = platform::openRegularFile(path, reason);
  if (file == nullptr) error = path + ": cannot be read: " + reason;
  return file;
}

// Appends what is left of an open file to 'bytes', which may hold no more than 'limit'
// bytes in the end; closes the file.
bool readRest(std::FILE* file, const std::string& path, size_t limit, const char* what,
              std::string& bytes, std::string& error) {
  char buffer[65536];
  size_t n;
  errno = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (n > limit - std::min(limit, bytes.size())) {
      std::fclose(file);
      const bool mebibytes = limit >= (size_t{1} << 20) && limit % (size_t{1} << 20) == 0;
      error = path + ": larger than " +
              (mebibytes ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes") +
              ", the limit for " + what;
      return false;
    }
    bytes.append(buffer, n);
  }
  const bool ok = std::ferror(file) == 0;
  const int reason = errno;
  std::fclose(file);
  if (!ok) error = path + ": read error: " + std::strerror(reason != 0 ? reason : EIO);
  return ok;
}

}  // namespace

std::vector<std::string> splitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool readFileBytes(const std::string& path, size_t limit, const char* what, std::string& bytes,
                   std::string& error) {
  bytes.clear();
  std::FILE* file = openForReading(path, error);
  return file != nullptr && readRest(file, path, limit, what, bytes, error);
}

const std::string* TextReport::find(const std::string& keyPath) const {
  for (const auto& entry : values)
    if (entry.first == keyPath) return &entry.second;
  return nullptr;
}

bool parseTextReport(const std::string& bytes, TextReport& report, std::string& error) {
  report.values.clear();
  std::vector<std::string> lines = splitLines(bytes);
  if (lines.empty() || lines[0] != ReportHeader) {
    error = std::string("not a Corvalis text report (no ") + ReportHeader + " header)";
    return false;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() > MaxReportLineBytes) {
      error = lineError(i, "longer than 4096 bytes, the limit for a line of a text report");
      return false;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = lineError(i, "not a KEY=VALUE line");
      return false;
    }
    if (report.values.size() == MaxTextReportKeys) {
      error = "more than " + std::to_string(MaxTextReportKeys) +
              " keys, more than this program writes";
      return false;
    }
    report.values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return true;
}

bool readTextReport(const std::string& path, TextReport& report, std::string& error) {
  report.values.clear();
  std::FILE* file = openForReading(path, error);
  if (file == nullptr) return false;
  // The header line alone first: anything else ends here, however large it is.
  const std::string header = std::string(ReportHeader) + "\r\n";
  std::string bytes(header.size(), '\0');
  bytes.resize(std::fread(&bytes[0], 1, bytes.size(), file));
  const size_t headerLength = header.size() - 2;
  const bool isReport =
      bytes.compare(0, headerLength, ReportHeader) == 0 &&
      (bytes.size() == headerLength || bytes[headerLength] == '\r' || bytes[headerLength] == '\n');
  if (!isReport) {
    std::fclose(file);
    error = path + ": not a Corvalis text report (no " + ReportHeader + " header)";
    return false;
  }
  if (!readRest(file, path, MaxTextReportBytes, "a text report", bytes, error)) return false;
  if (parseTextReport(bytes, report, error)) return true;
  error = path + ": " + error;
  return false;
}

bool parseCNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  // from_chars takes no leading '+' and reads "nan"/"inf" in any locale.
  auto result = std::from_chars(begin, end, value);
  if (result.ptr != end) return false;
  if (result.ec == std::errc()) return true;
  // Out of range: too small for a double rounds to zero as any smaller number does; too
  // large stays refused.
  if (result.ec != std::errc::result_out_of_range || decimalExponent(begin, end) >= 0)
    return false;
  value = *begin == '-' ? -0.0 : 0.0;
  return true;
}

bool parseReportValue(const std::string& text, double& value, std::string& unit) {
  size_t space = text.find(' ');
  std::string number = text.substr(0, space);
  if (!parseCNumber(number, value)) return false;
  unit.clear();
  if (space == std::string::npos) return true;
  size_t pos = space + 1;
  size_t length = 0;
  double scale = prefixAt(text, pos, length);
  // A prefix stands alone ("M Pix/s", "Mi B", "500 m") or runs into the unit ("MPix/s").
  if (scale != 0) {
    size_t after = pos + length;
    if (after >= text.size() || text[after] == ' ') {
      value *= scale;
      pos = after < text.size() ? after + 1 : after;
    } else if (text.find(' ', pos) == std::string::npos && !isWholeUnit(text.substr(pos))) {
      value *= scale;
      pos = after;
    }
  }
  unit = text.substr(std::min(pos, text.size()));
  while (!unit.empty() && unit.back() == ' ') unit.pop_back();
  return true;
}

bool parseCacheCsv(const std::string& bytes, std::vector<CacheRow>& rows, std::string& error) {
  rows.clear();
  std::vector<std::string> lines = splitLines(bytes);
  if (lines.empty() || lines[0].find("_fetches/s,bytes") == std::string::npos) {
    error = "not a texture cache data file (no fetches/s,bytes header)";
    return false;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields = splitFields(lines[i]);
    CacheRow row;
    if (fields.size() != 2 || !parseCNumber(fields[0], row.rate) ||
        !parseCNumber(fields[1], row.bytes)) {
      error = lineError(i, "expected RATE,BYTES");
      return false;
    }
    rows.push_back(row);
  }
  return true;
}

bool parseTileCsv(const std::string& bytes, std::vector<TileRow>& rows, std::string& error) {
  rows.clear();
  std::vector<std::string> lines = splitLines(bytes);
  if (lines.empty() || lines[0] != "width,aligned,offset,ratio,height,aligned,offset,ratio") {
    error = "not a tiling data file (no width,aligned,offset,ratio,... header)";
    return false;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields = splitFields(lines[i]);
    double v[8];
    bool ok = fields.size() == 8;
    for (size_t f = 0; ok && f < 8; ++f) ok = parseCNumber(fields[f], v[f]);
    if (!ok || !(v[0] >= 1 && v[0] <= 4096) || v[0] != v[4]) {
      error = lineError(i, "expected eight numbers, the block size twice");
      return false;
    }
    TileRow row;
    row.block = static_cast<int>(v[0]);
    row.widthAligned = v[1];
    row.widthOffset = v[2];
    row.heightAligned = v[5];
    row.heightOffset = v[6];
    rows.push_back(row);
  }
  return true;
}

}  // namespace corvalis
