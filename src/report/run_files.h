#pragma once
// Reads back what a run left on disk: the text report (key path lines), the values
// in it as numbers, and the sweeps of the data files. Shared by the charts page and
// --compare; nothing here needs a GL context.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace corvalis {

// The most the program reads back of each kind of file. Its own files stay far below:
// a text report of every test is about 10 kB with lines under 600 bytes, BASE.json of
// --repeat 100 over every test at 1024x768 about 4 MB. The limits keep a hostile or
// mistaken file (a huge one, one long line) from taking the machine's memory.
constexpr size_t MaxTextReportBytes = size_t{1} << 20;  // 1 MiB
constexpr size_t MaxReportLineBytes = 4096;
// A text report of every test has about 200 keys; --compare holds a cell per key and
// run, and one file of 1 MiB with short keys has some 90,000 of them.
constexpr size_t MaxTextReportKeys = 4096;
constexpr size_t MaxDataFileBytes = size_t{16} << 20;  // 16 MiB
constexpr size_t MaxRunJsonBytes = size_t{16} << 20;  // 16 MiB

// The whole of a regular file as bytes, at most 'limit' of them. False, with 'error'
// naming the file, when it is not a regular file (a folder, a FIFO, a device: refused
// without reading or waiting), cannot be read, or is larger than the limit for 'what'
// ("a text report").
bool readFileBytes(const std::string& path, size_t limit, const char* what, std::string& bytes,
                   std::string& error);

// A text report: the key paths and their values in file order, without the header.
struct TextReport {
  std::vector<std::pair<std::string, std::string>> values;  // "Info:Driver" -> text
  // The value of a key path, or null.
  const std::string* find(const std::string& keyPath) const;
};

// Parses the bytes of a text report ("[Corvalis VERSION]" header, KEY=VALUE lines, CR LF
// or LF, each at most MaxReportLineBytes, at most MaxTextReportKeys of them). False with a reason when the bytes are not
// such a report. Keys and values are kept as they are, control characters included:
// whoever shows them cleans them (cleanOutsideText).
bool parseTextReport(const std::string& bytes, TextReport& report, std::string& error);
// Reads the header first and stops there when the file is not a text report of this
// program; then the rest, at most MaxTextReportBytes in all.
bool readTextReport(const std::string& path, TextReport& report, std::string& error);

// The lines of a file without their CR LF or LF ends.
std::vector<std::string> splitLines(const std::string& bytes);

// A value as the reports print it ("480.311 M Pix/s", "1.000 Mi B", "16384 B", "4 ",
// "500 m", "nan M Pix/s") turned back into a number in base units and its unit.
// False for a text that is not a number (a mode, a driver name).
bool parseReportValue(const std::string& text, double& value, std::string& unit);

// A C-locale decimal number ("2485.500732", "nan", "-inf") filling the whole text. One
// too small for a double ("1e-400") reads as zero; one too large for it is refused.
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
