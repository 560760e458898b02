#pragma once
// Reads back what a run left on disk: the text report (key path lines), the values
// in it as numbers, and the sweeps of the data files. Shared by the charts page and
// --compare; nothing here needs a GL context.

#include <string>
#include <utility>
#include <vector>

namespace corvalis {

// The whole file as bytes; false (and 'error' naming the file) when it cannot be read.
bool readFileBytes(const std::string& path, std::string& bytes, std::string& error);

// A text report: the key paths and their values in file order, without the header.
struct TextReport {
  std::vector<std::pair<std::string, std::string>> values;  // "Info:Driver" -> text
  // The value of a key path, or null.
  const std::string* find(const std::string& keyPath) const;
};

// Parses the bytes of a text report ("[Corvalis 0.50]" header, KEY=VALUE lines, CR LF
// or LF). False with a reason when the bytes are not such a report.
bool parseTextReport(const std::string& bytes, TextReport& report, std::string& error);
bool readTextReport(const std::string& path, TextReport& report, std::string& error);

// A value as the reports print it ("480.311 M Pix/s", "1.000 Mi B", "16384 B", "4 ",
// "500 m", "nan M Pix/s") turned back into a number in base units and its unit.
// False for a text that is not a number (a mode, a driver name).
bool parseReportValue(const std::string& text, double& value, std::string& unit);

// A C-locale decimal number ("2485.500732", "nan", "-inf") filling the whole text.
bool parseCNumber(const std::string& text, double& value);

// One row of a texture cache data file.
struct CacheRow {
  double rate = 0;   // texel fetches per second
  double bytes = 0;  // working-set bytes
};

// One row of a tiling data file: batches per second at one block size.
struct TileRow {
  int block = 0;
  double widthAligned = 0, widthOffset = 0, heightAligned = 0, heightOffset = 0;
};

// Parse the CSV bytes the two tests write; false with a reason naming the line.
bool parseCacheCsv(const std::string& bytes, std::vector<CacheRow>& rows, std::string& error);
bool parseTileCsv(const std::string& bytes, std::vector<TileRow>& rows, std::string& error);

}  // namespace corvalis
