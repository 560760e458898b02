// Texture cache and Tiling on the real driver: the report lines, the CSV data files and
// their links, and that a standard CSV reader (python3's csv module) loads every file.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

const char* const ModePattern = "R[0-9]+G[0-9]+B[0-9]+A[0-9]+ Z[0-9]+ S[0-9]+";

// Loads each CSV file given on the command line with csv.reader, checks that every row
// has as many fields as the header and that every field is a number ("nan" included),
// and prints one line per file: "<name> <header> <rows> <first row> <last row>".
const char* const CsvCheckScript = R"PY(
import csv, os, sys
for path in sys.argv[1:]:
    try:
        with open(path, newline="", encoding="latin-1") as f:
            rows = list(csv.reader(f, strict=True))
        header, data = rows[0], rows[1:]
        for row in data:
            if len(row) != len(header):
                raise ValueError("row %r has %d fields" % (row, len(row)))
            [float(field) for field in row]
        print(os.path.basename(path), ",".join(header), len(data),
              ",".join(data[0]) if data else "-", ",".join(data[-1]) if data else "-")
    except Exception as e:
        print(os.path.basename(path), "ERROR", e)
)PY";

struct CsvSummary {
  std::string header;
  int rows = -1;
  std::vector<std::string> first;
  std::vector<std::string> last;
};

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// Runs the CSV check over the named files of a folder; the summary per file name.
std::map<std::string, CsvSummary> readCsvFiles(const std::string& folder,
                                               const std::vector<std::string>& names) {
  std::string command = "python3 -c '" + std::string(CsvCheckScript) + "'";
  for (const auto& name : names) command += " '" + folder + "/" + name + "'";
  std::map<std::string, CsvSummary> result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::string output;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  pclose(pipe);
  for (const auto& line : splitAt(output, '\n')) {
    const std::vector<std::string> fields = splitAt(line, ' ');
    if (fields.size() < 2) continue;
    CsvSummary& summary = result[fields[0]];
    summary.header = fields[1];
    if (fields.size() == 5) {
      summary.rows = std::atoi(fields[2].c_str());
      summary.first = splitAt(fields[3], ',');
      summary.last = splitAt(fields[4], ',');
    } else {
      ADD_FAILURE() << line;
    }
  }
  return result;
}

// The value of a report line with the given key path; fails when absent.
std::string valueOf(const std::vector<std::string>& report, const std::string& keyPath) {
  const std::vector<std::string> lines = linesWithPrefix(report, keyPath + "=");
  EXPECT_EQ(lines.size(), 1u) << keyPath;
  return lines.empty() ? std::string() : lines[0].substr(keyPath.size() + 1);
}

// The Tiling section: every buffer's width and height as "none" or a block size.
void expectTilingSection(const std::vector<std::string>& report) {
  const std::vector<std::string> lines = linesWithPrefix(report, "Tiling:");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_TRUE(std::regex_match(valueOf(report, "Tiling:Mode"), std::regex(ModePattern)));
  const std::regex size("none|(64|32|16|8|4|2) ");
  for (const char* group : {"Combined", "Color", "Z", "Stencil"}) {
    for (const char* key : {"Width", "Height"}) {
      const std::string path = std::string("Tiling:") + group + ":" + key;
      EXPECT_TRUE(std::regex_match(valueOf(report, path), size)) << path;
    }
  }
}

// The four tiling files: header, six rows of block sizes 64 to 2; at 160 x 120 no row
// band of 64 pixels fits, so that row's ratio is zero by zero.
void expectTilingFiles(const std::string& folder, bool depthAndStencil) {
  const auto csv = readCsvFiles(
      folder, {"out.tile_all.csv", "out.tile_c.csv", "out.tile_z.csv", "out.tile_s.csv"});
  ASSERT_EQ(csv.size(), 4u);
  for (const auto& [name, file] : csv) {
    EXPECT_EQ(file.header, "width,aligned,offset,ratio,height,aligned,offset,ratio") << name;
    ASSERT_EQ(file.rows, 6) << name;
    ASSERT_EQ(file.first.size(), 8u) << name;
    EXPECT_EQ(file.first[0], "64") << name;
    EXPECT_EQ(file.last[0], "2") << name;
    EXPECT_EQ(file.first[4], "64") << name;
    EXPECT_EQ(file.first[5], "0.000000") << name;
    EXPECT_EQ(file.first[7], "nan") << name;
    // 160 pixels hold one 64-pixel column strip: measured in every measured sweep.
    const bool measured = name == "out.tile_c.csv" || depthAndStencil;
    EXPECT_EQ(std::strtod(file.first[1].c_str(), nullptr) > 0.0, measured) << name;
    EXPECT_EQ(std::strtod(file.last[5].c_str(), nullptr) > 0.0, measured) << name;
  }
  const std::string bytes = readFile(folder + "/out.tile_c.csv");
  EXPECT_EQ(crlfLines(bytes).size(), 7u);
  EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
}

}  // namespace

TEST(CacheTiling, LlvmpipeWritesReportLinesAndReadableDataFiles) {
  RunResult r = runCorvalis({"-160x120", "--tests", "texcache,tiling", "--output", "out"},
                            {{"GALLIUM_DRIVER", "llvmpipe"}});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> report = crlfLines(readFile(r.folder + "/out.txt"));

  // Texture cache: Mode and RGBA always; no paletted textures on Mesa.
  EXPECT_TRUE(std::regex_match(valueOf(report, "TexCache:Mode"), std::regex(ModePattern)));
  const std::regex bytes("[0-9]+ B|[0-9]+\\.[0-9]{3} Mi B");
  EXPECT_TRUE(std::regex_match(valueOf(report, "TexCache:RGBA"), bytes));
  for (const auto& line : linesWithPrefix(report, "TexCache:")) {
    const std::string key = line.substr(0, line.find('='));
    EXPECT_TRUE(key == "TexCache:Mode" || key == "TexCache:RGBA" || key == "TexCache:DXT1" ||
                key == "TexCache:DXT5")
        << line;
    if (key != "TexCache:Mode") {
      EXPECT_TRUE(std::regex_match(line.substr(key.size() + 1), bytes)) << line;
    }
  }
  EXPECT_FALSE(fileExists(r.folder + "/out.pal8.csv"));

  // 160 x 120: S = 64, indices 0 to 12; DXT from index 4. Every rate is positive.
  const auto csv = readCsvFiles(r.folder, {"out.rgba.csv", "out.dxt1.csv", "out.dxt5.csv"});
  ASSERT_EQ(csv.size(), 3u);
  const struct {
    const char* name;
    const char* header;
    int rows;
    const char* firstBytes;
    const char* lastBytes;
  } expected[] = {{"out.rgba.csv", "rgba_fetches/s,bytes", 13, "4", "16384"},
                  {"out.dxt1.csv", "dxt1_fetches/s,bytes", 9, "8", "2048"},
                  {"out.dxt5.csv", "dxt5_fetches/s,bytes", 9, "16", "4096"}};
  for (const auto& file : expected) {
    const CsvSummary& got = csv.at(file.name);
    EXPECT_EQ(got.header, file.header) << file.name;
    ASSERT_EQ(got.rows, file.rows) << file.name;
    ASSERT_EQ(got.first.size(), 2u) << file.name;
    EXPECT_EQ(got.first[1], file.firstBytes) << file.name;
    EXPECT_EQ(got.last[1], file.lastBytes) << file.name;
    EXPECT_GT(std::strtod(got.first[0].c_str(), nullptr), 0.0) << file.name;
    EXPECT_GT(std::strtod(got.last[0].c_str(), nullptr), 0.0) << file.name;
  }

  // The page links the data files beside it.
  const std::string html = readFile(r.folder + "/out.htm");
  for (const char* link :
       {"href=\"out.rgba.csv\"", "href=\"out.tile_all.csv\"", "href=\"out.tile_c.csv\"",
        "href=\"out.tile_z.csv\"", "href=\"out.tile_s.csv\""})
    EXPECT_NE(html.find(link), std::string::npos) << link;

  expectTilingSection(report);
  expectTilingFiles(r.folder, true);
}

TEST(CacheTiling, WithoutS3tcOnlyTheRgbaSweepRuns) {
  RunResult r = runCorvalis({"-160x120", "--tests", "texcache", "--output", "out"},
                            {{"GALLIUM_DRIVER", "llvmpipe"},
                             {"MESA_EXTENSION_OVERRIDE", "-GL_EXT_texture_compression_s3tc"}});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> report = crlfLines(readFile(r.folder + "/out.txt"));
  const std::vector<std::string> lines = linesWithPrefix(report, "TexCache:");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("TexCache:Mode=", 0), 0u);
  EXPECT_EQ(lines[1].rfind("TexCache:RGBA=", 0), 0u);
  EXPECT_TRUE(fileExists(r.folder + "/out.rgba.csv"));
  for (const char* name : {"/out.dxt1.csv", "/out.dxt5.csv", "/out.pal8.csv"})
    EXPECT_FALSE(fileExists(r.folder + name)) << name;
  const auto csv = readCsvFiles(r.folder, {"out.rgba.csv"});
  ASSERT_EQ(csv.count("out.rgba.csv"), 1u);
  EXPECT_EQ(csv.at("out.rgba.csv").rows, 13);
}

TEST(CacheTiling, SoftpipeTilesEveryBuffer) {
  RunResult r = runCorvalis({"-160x120", "--tests", "tiling", "--output", "out"},
                            {{"GALLIUM_DRIVER", "softpipe"}});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  expectTilingSection(crlfLines(readFile(r.folder + "/out.txt")));
  expectTilingFiles(r.folder, true);
}
