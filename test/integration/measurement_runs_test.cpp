// The measurement tests on the real driver, one run per configuration: every key path of
// every section in registry order with a positive value in the text report's own forms,
// the data files (loaded with python3's csv module) and the page's links to them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// NOTE: no std::regex here: GCC 12 warns inside <regex> under the sanitizer build.

bool allDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "R%dG%dB%dA%d Z%d S%d", nothing more.
bool isModeText(const std::string& text) {
  int bits[6], used = 0;
  return std::sscanf(text.c_str(), "R%dG%dB%dA%d Z%d S%d%n", &bits[0], &bits[1], &bits[2],
                     &bits[3], &bits[4], &bits[5], &used) == 6 &&
         used == static_cast<int>(text.size());
}

// An amount as "%d unit" or "%.3f <mega>unit".
bool isAmount(const std::string& text, const std::string& mega, const std::string& unit) {
  if (text.size() <= unit.size() + 1 || text.compare(text.size() - unit.size(), unit.size(), unit))
    return false;
  std::string amount = text.substr(0, text.size() - unit.size());
  if (amount.size() > mega.size() && amount.compare(amount.size() - mega.size(), mega.size(), mega) == 0) {
    amount.resize(amount.size() - mega.size());
    const size_t point = amount.find('.');
    return point != std::string::npos && amount.size() - point == 4 &&
           allDigits(amount.substr(0, point)) && allDigits(amount.substr(point + 1));
  }
  return amount.back() == ' ' && allDigits(amount.substr(0, amount.size() - 1));
}

bool isTileSize(const std::string& text) {
  for (const char* size : {"none", "64 ", "32 ", "16 ", "8 ", "4 ", "2 "})
    if (text == size) return true;
  return false;
}

// The report lines under prefix must be exactly prefix + key + "=" in this order; a "Mode"
// key holds the mode text, the others pass the value check.
template <class Check>
void expectSection(const std::vector<std::string>& report, const std::string& prefix,
                   const std::vector<std::string>& keys, Check valueOk) {
  const std::vector<std::string> lines = linesWithPrefix(report, prefix);
  ASSERT_EQ(lines.size(), keys.size()) << prefix;
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string head = prefix + keys[i] + "=";
    ASSERT_EQ(lines[i].compare(0, head.size(), head), 0) << "expected " << head << ": " << lines[i];
    const std::string value = lines[i].substr(head.size());
    EXPECT_TRUE(keys[i].size() >= 4 && keys[i].compare(keys[i].size() - 4, 4, "Mode") == 0
                    ? isModeText(value)
                    : valueOk(value))
        << lines[i];
  }
}

auto rate(const std::string& unit) {
  return [unit](const std::string& value) {
    return isAmount(value, " M ", unit) && std::strtod(value.c_str(), nullptr) > 0.0;
  };
}

std::vector<std::string> withPrefix(const std::string& prefix, const std::vector<std::string>& keys) {
  std::vector<std::string> out;
  for (const auto& key : keys) out.push_back(prefix + key);
  return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> DepthModes = {"Col", "Z", "ColZ", "ZPassColZ", "ZCullLEqual",
                                             "ZCullGEqual", "ZCullEqual"};
const std::vector<std::string> FillrateKeys =
    withPrefix("32:", std::vector<std::string>{"Mode"} + DepthModes + std::vector<std::string>{"S", "SCull", "SPass:S", "SPass:ZFailS"} +
                          withPrefix("SPass:ZPass:", {"S", "ZS", "Col", "ColZ", "ColS", "ColZS"})) +
    withPrefix("16:", std::vector<std::string>{"Mode"} + DepthModes);
const std::vector<std::string> BandwidthKeys = {
    "Mode", "Clear:All", "Clear:Color", "Clear:ZAndStencil", "Clear:Z", "Clear:Stencil",
    "Draw", "BurnedByRAMDAC", "Physical"};
const std::vector<std::string> GeometryKeys = {"Mode", "Plain:Fan", "Plain:List", "Plain:Clip",
                                               "LightD1", "LightP1", "LightP8"};
const std::vector<std::string> ReadbackFormats = {"R8G8B8A8", "B8G8R8A8", "R8G8B8", "B8G8R8",
                                                  "Zuint", "Zfloat", "S8"};
const std::vector<std::string> ReadbackKeys = std::vector<std::string>{"Mode"} +
                                              withPrefix("Whole32:", ReadbackFormats) +
                                              withPrefix("Small32:", ReadbackFormats);
const std::vector<std::string> TilingKeys = {
    "Mode", "Combined:Width", "Combined:Height", "Color:Width", "Color:Height",
    "Z:Width", "Z:Height", "Stencil:Width", "Stencil:Height"};

std::vector<std::string> texturingKeys(int layers) {
  std::vector<std::string> keys = {"Mode"};
  for (const char* filter : {"Bilinear:", "Trilinear:"})
    for (int i = 1; i <= layers; ++i) keys.push_back(filter + std::to_string(i));
  return keys;
}

// Loads each CSV file with csv.reader, checks that every row has as many fields as the
// header and that every field is a number ("nan" included), and prints per file
// "<name> <header> <rows> <first row> <last row>".
const char* const CsvCheckScript = R"PY(
import csv, os, sys
for path in sys.argv[1:]:
    try:
        with open(path, newline="", encoding="latin-1") as f:
            rows = list(csv.reader(f, strict=True))
        for row in rows[1:]:
            if len(row) != len(rows[0]): raise ValueError("row %r" % row)
            [float(field) for field in row]
        print(os.path.basename(path), ",".join(rows[0]), len(rows) - 1,
              ",".join(rows[1]), ",".join(rows[-1]))
    except Exception as e:
        print(os.path.basename(path), "ERROR", e)
)PY";

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

struct CsvSummary {
  std::string header;
  int rows = -1;
  std::vector<std::string> first, last;
};

// Runs the CSV check over out.<name>.csv of the folder; the summary per name.
std::map<std::string, CsvSummary> readCsvFiles(const std::string& folder,
                                               const std::vector<std::string>& names) {
  std::string command = "python3 -c '" + std::string(CsvCheckScript) + "'";
  for (const auto& name : names) command += " '" + folder + "/out." + name + ".csv'";
  std::map<std::string, CsvSummary> result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  for (char line[4096]; std::fgets(line, sizeof line, pipe);) {
    const std::vector<std::string> fields = splitAt(splitAt(line, '\n')[0], ' ');
    if (fields.size() != 5) {
      ADD_FAILURE() << line;
      continue;
    }
    const std::string name = fields[0].substr(4, fields[0].size() - 8);  // out.<name>.csv
    result[name] = {fields[1], std::atoi(fields[2].c_str()), splitAt(fields[3], ','),
                    splitAt(fields[4], ',')};
  }
  pclose(pipe);
  return result;
}

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The texture cache files at 160 x 120: S = 64, indices 0 to 12; DXT from index 4.
void expectCacheFiles(const std::string& folder, bool compressed) {
  const struct {
    const char* name;
    int rows;
    const char* firstBytes;
    const char* lastBytes;
  } expected[] = {{"rgba", 13, "4", "16384"}, {"dxt1", 9, "8", "2048"}, {"dxt5", 9, "16", "4096"}};
  const auto csv = readCsvFiles(
      folder, compressed ? std::vector<std::string>{"rgba", "dxt1", "dxt5"} : std::vector<std::string>{"rgba"});
  for (const auto& file : expected) {
    const bool present = compressed || std::string(file.name) == "rgba";
    if (!present) {  // a sweep that did not run writes no file
      EXPECT_FALSE(fileExists(folder + "/out." + file.name + ".csv")) << file.name;
      continue;
    }
    ASSERT_EQ(csv.count(file.name), 1u) << file.name;
    const CsvSummary& got = csv.at(file.name);
    EXPECT_EQ(got.header, std::string(file.name) + "_fetches/s,bytes");
    ASSERT_EQ(got.rows, file.rows) << file.name;
    ASSERT_EQ(got.first.size(), 2u) << file.name;
    EXPECT_EQ(got.first[1], file.firstBytes) << file.name;
    EXPECT_EQ(got.last[1], file.lastBytes) << file.name;
    EXPECT_GT(number(got.first[0]), 0.0) << file.name;
    EXPECT_GT(number(got.last[0]), 0.0) << file.name;
  }
  EXPECT_FALSE(fileExists(folder + "/out.pal8.csv"));  // no paletted textures on Mesa
}

// The four tiling files: six rows of block sizes 64 to 2; at 160 x 120 no row band of 64
// pixels fits, so that row's ratio is zero by zero; 160 pixels hold one 64-pixel column.
void expectTilingFiles(const std::string& folder) {
  const auto csv = readCsvFiles(folder, {"tile_all", "tile_c", "tile_z", "tile_s"});
  ASSERT_EQ(csv.size(), 4u);
  for (const auto& [name, file] : csv) {
    EXPECT_EQ(file.header, "width,aligned,offset,ratio,height,aligned,offset,ratio") << name;
    ASSERT_EQ(file.rows, 6) << name;
    ASSERT_EQ(file.first.size(), 8u) << name;
    EXPECT_EQ(file.first[0] + file.first[4] + file.first[5] + file.first[7], "64640.000000nan")
        << name;
    EXPECT_EQ(file.last[0], "2") << name;
    EXPECT_GT(number(file.first[1]), 0.0) << name;
    EXPECT_GT(number(file.last[5]), 0.0) << name;
  }
  const std::string bytes = readFile(folder + "/out.tile_c.csv");
  EXPECT_EQ(crlfLines(bytes).size(), 7u);
  EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
  const std::string html = readFile(folder + "/out.htm");
  for (const char* name : {"tile_all", "tile_c", "tile_z", "tile_s"})
    EXPECT_NE(html.find("href=\"out." + std::string(name) + ".csv\""), std::string::npos) << name;
}

// TexCache: Mode and RGBA always, DXT1 and DXT5 only where a size was found.
void expectCacheSection(const std::vector<std::string>& report, bool compressed) {
  std::vector<std::string> keys = {"Mode", "RGBA"};
  for (const char* key : {"DXT1", "DXT5"})
    if (compressed && !linesWithPrefix(report, std::string("TexCache:") + key + "=").empty())
      keys.push_back(key);
  expectSection(report, "TexCache:", keys,
                [](const std::string& v) { return isAmount(v, " Mi ", "B"); });
}

std::vector<std::string> runAndReadReport(const std::string& tests,
                                          const std::map<std::string, std::string>& env,
                                          RunResult* result = nullptr) {
  std::vector<std::string> args = {"-160x120", "--output", "out"};
  if (!tests.empty()) args = args + std::vector<std::string>{"--tests", tests};
  RunResult r = runCorvalis(args, env);
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> report = crlfLines(readFile(r.folder + "/out.txt"));
  EXPECT_EQ(report.empty() ? "" : report[0], "[Corvalis 0.50]");
  if (result) *result = r;
  return report;
}

// The sections' names in the order they appear, Info left out.
std::vector<std::string> sectionOrder(const std::vector<std::string>& report) {
  std::vector<std::string> order;
  for (size_t i = 1; i < report.size(); ++i) {
    const std::string key = report[i].substr(0, report[i].find(':'));
    if (key != "Info" && (order.empty() || order.back() != key)) order.push_back(key);
  }
  return order;
}

// Returns the number of texturing layers.
int expectCommonSections(const std::vector<std::string>& report) {
  expectSection(report, "Geometry:", GeometryKeys, rate("Tris/s"));
  const int layers = static_cast<int>(linesWithPrefix(report, "Texturing:").size() - 1) / 2;
  expectSection(report, "Texturing:", texturingKeys(layers), rate("Pix/s"));
  return layers;
}

void expectFramebufferSections(const std::vector<std::string>& report) {
  expectSection(report, "Fillrate:", FillrateKeys, rate("Pix/s"));
  expectSection(report, "Bandwidth:", BandwidthKeys, rate("B/s"));
  expectSection(report, "Readback:", ReadbackKeys, rate("Pix/s"));
  expectSection(report, "Tiling:", TilingKeys, isTileSize);
}

}  // namespace

TEST(MeasurementRuns, LlvmpipeMeasuresEveryTest) {
  RunResult r;
  const std::vector<std::string> report = runAndReadReport("", {{"GALLIUM_DRIVER", "llvmpipe"}}, &r);
  EXPECT_EQ(sectionOrder(report), (std::vector<std::string>{"Fillrate", "Bandwidth", "Geometry",
                                                            "Texturing", "Readback", "TexCache",
                                                            "Tiling"}));
  expectFramebufferSections(report);
  const int layers = expectCommonSections(report);
  EXPECT_GT(layers, 1);  // the driver offers multitexture
  EXPECT_LE(layers, 8);
  expectCacheSection(report, true);
  expectCacheFiles(r.folder, true);
  EXPECT_NE(readFile(r.folder + "/out.htm").find("href=\"out.rgba.csv\""), std::string::npos);
  expectTilingFiles(r.folder);
}

TEST(MeasurementRuns, SoftpipeMeasuresAllButTheTextureCache) {
  RunResult r;
  const std::vector<std::string> report = runAndReadReport(
      "fillrate,bandwidth,geometry,texturing,readback,tiling", {{"GALLIUM_DRIVER", "softpipe"}}, &r);
  expectFramebufferSections(report);
  EXPECT_GE(expectCommonSections(report), 1);
  expectTilingFiles(r.folder);
}

TEST(MeasurementRuns, WithoutVertexBuffersMultitextureAndS3tcTheFallbacksMeasure) {
  RunResult r;
  const std::vector<std::string> report = runAndReadReport(
      "geometry,texturing,texcache",
      {{"GALLIUM_DRIVER", "llvmpipe"},
       {"MESA_EXTENSION_OVERRIDE",
        "-GL_ARB_vertex_buffer_object -GL_ARB_multitexture -GL_EXT_texture_compression_s3tc"}},
      &r);
  EXPECT_EQ(expectCommonSections(report), 1);  // display lists; one layer per filter
  expectCacheSection(report, false);
  expectCacheFiles(r.folder, false);
}
