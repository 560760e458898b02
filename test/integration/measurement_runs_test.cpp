// The measurement tests on the real driver, one run per configuration: every key path of
// every section in registry order with a positive value in the text report's own forms,
// the data files' rows (loaded with python3's csv module) and the page's links to them,
// and BASE.json held to its schema.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// NOTE: no std::regex here: GCC 12 warns inside <regex> under the sanitizer build.

// "R%dG%dB%dA%d Z%d S%d", nothing more.
bool isModeText(const std::string& text) {
  int bits[6], used = 0;
  return std::sscanf(text.c_str(), "R%dG%dB%dA%d Z%d S%d%n", &bits[0], &bits[1], &bits[2],
                     &bits[3], &bits[4], &bits[5], &used) == 6 &&
         used == static_cast<int>(text.size());
}

// An amount as "%d unit" or "%.3f <mega>unit": digits first, and the text the number
// formats back to.
bool isAmount(const std::string& text, const std::string& mega, const std::string& unit) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const bool scaled = end == mega + unit;
  char number[64];
  std::snprintf(number, sizeof number, scaled ? "%.3f" : "%.0f", value);
  return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) &&
         (scaled || end == " " + unit) && text == number + std::string(end);
}

bool isTileSize(const std::string& text) {
  for (const char* size : {"none", "64 ", "32 ", "16 ", "8 ", "4 ", "2 "})
    if (text == size) return true;
  return false;
}

// The report's keys under prefix must be the space-separated keys, in this order; a "Mode"
// key holds the mode text, the others pass the value check.
template <class Check>
void expectSection(const std::vector<std::string>& report, const std::string& prefix,
                   const std::string& keyText, Check valueOk) {
  std::istringstream split(keyText);
  const std::vector<std::string> expected{std::istream_iterator<std::string>(split), {}};
  std::vector<std::string> keys;
  for (const std::string& line : linesWithPrefix(report, prefix)) {
    const size_t eq = line.find('=');
    keys.push_back(line.substr(prefix.size(), eq - prefix.size()));
    const std::string value = line.substr(eq + 1);
    EXPECT_TRUE(contains(line, "Mode=") ? isModeText(value) : valueOk(value)) << line;
  }
  EXPECT_EQ(keys, expected) << prefix;
}

auto rate(const std::string& unit) {
  return [unit](const std::string& value) {
    return isAmount(value, " M ", unit) && std::strtod(value.c_str(), nullptr) > 0.0;
  };
}

const char* const FillrateKeys =
    "32:Mode 32:Col 32:Z 32:ColZ 32:ZPassColZ 32:ZCullLEqual 32:ZCullGEqual 32:ZCullEqual "
    "32:S 32:SCull 32:SPass:S 32:SPass:ZFailS 32:SPass:ZPass:S 32:SPass:ZPass:ZS "
    "32:SPass:ZPass:Col 32:SPass:ZPass:ColZ 32:SPass:ZPass:ColS 32:SPass:ZPass:ColZS "
    "16:Mode 16:Col 16:Z 16:ColZ 16:ZPassColZ 16:ZCullLEqual 16:ZCullGEqual 16:ZCullEqual";
const char* const BandwidthKeys = "Mode Clear:All Clear:Color Clear:ZAndStencil Clear:Z "
                                  "Clear:Stencil Draw BurnedByRAMDAC Physical";
const char* const GeometryKeys = "Mode Plain:Fan Plain:List Plain:Clip LightD1 LightP1 LightP8";
const char* const ReadbackKeys =
    "Mode Whole32:R8G8B8A8 Whole32:B8G8R8A8 Whole32:R8G8B8 Whole32:B8G8R8 Whole32:Zuint "
    "Whole32:Zfloat Whole32:S8 Small32:R8G8B8A8 Small32:B8G8R8A8 Small32:R8G8B8 "
    "Small32:B8G8R8 Small32:Zuint Small32:Zfloat Small32:S8";
const char* const TilingKeys = "Mode Combined:Width Combined:Height Color:Width Color:Height "
                               "Z:Width Z:Height Stencil:Width Stencil:Height";

std::string texturingKeys(int layers) {
  std::string keys = "Mode";
  for (const char* filter : {" Bilinear:", " Trilinear:"})
    for (int i = 1; i <= layers; ++i) keys += filter + std::to_string(i);
  return keys;
}

// Loads out.<name>.csv of the folder with python3's csv module; per file its name, its
// data rows and those of them with header width whose rate fields are all positive. A
// field that is no number stops the script.
std::string csvRows(const std::string& folder, const std::vector<std::string>& names) {
  std::string command =
      "cd '" + folder + "' && python3 -c 'import csv, sys\n"
      "for path in sys.argv[1:]:\n"
      "  header, *rows = csv.reader(open(path, newline=\"\"), strict=True)\n"
      "  rates = [i for i, h in enumerate(header) if h in (\"aligned\", \"offset\") or h.endswith(\"/s\")]\n"
      "  rows = [[float(field) for field in row] for row in rows]\n"
      "  print(path, len(rows), sum(len(row) == len(header) and all(row[i] > 0 for i in rates) for row in rows))'";
  for (const auto& name : names) command += " out." + name + ".csv";
  std::string output;
  shellCommand(command, &output);
  return output;
}

// TexCache: Mode and RGBA always, DXT1 and DXT5 only where a size was found. Its files at
// 160 x 120: S = 64, indices 0 to 12; DXT from index 4. A sweep that did not run writes no
// file; Mesa has no paletted textures.
void expectCache(const std::vector<std::string>& report, const std::string& folder,
                 bool compressed) {
  std::string keys = "Mode RGBA";
  for (const char* key : {"DXT1", "DXT5"})
    if (compressed && !linesWithPrefix(report, std::string("TexCache:") + key + "=").empty())
      keys += std::string(" ") + key;
  expectSection(report, "TexCache:", keys,
                [](const std::string& v) { return isAmount(v, " Mi ", "B"); });
  EXPECT_EQ(csvRows(folder, compressed ? std::vector<std::string>{"rgba", "dxt1", "dxt5"}
                                       : std::vector<std::string>{"rgba"}),
            compressed ? "out.rgba.csv 13 13\nout.dxt1.csv 9 9\nout.dxt5.csv 9 9\n"
                       : "out.rgba.csv 13 13\n");
  EXPECT_EQ(fileExists(folder + "/out.dxt1.csv") || fileExists(folder + "/out.dxt5.csv"), compressed);
  EXPECT_FALSE(fileExists(folder + "/out.pal8.csv"));
}

// A single run says how sure each detection of the report is: BASE.json's evidence has
// the key with "none" where the report shows none and "clear" or "uncertain" where it
// shows a size, and the console follows each uncertain answer with the check to run.
void expectSingleRunEvidence(const std::vector<std::string>& report, const RunResult& r) {
  const nlohmann::json json = nlohmann::json::parse(readBytes(r.folder + "/out.json"));
  ASSERT_TRUE(json.contains("evidence")) << r.out;
  size_t detections = 0, uncertain = 0;
  for (const std::string& line : report) {
    const bool detection = line.rfind("Tiling:", 0) == 0 || line.rfind("TexCache:", 0) == 0;
    if (!detection || contains(line, ":Mode=")) continue;
    const std::string key = line.substr(0, line.find('='));
    ASSERT_TRUE(json["evidence"].contains(key)) << key;
    const std::string word = json["evidence"][key].value("confidence", "");
    const bool none = line.substr(line.find('=') + 1) == "none" || line == key + "=0 B";
    EXPECT_TRUE(none ? word == "none" : word == "clear" || word == "uncertain") << line << " " << word;
    EXPECT_TRUE(contains(r.out, key + " ")) << r.out;
    ++detections;
    uncertain += word == "uncertain";
  }
  EXPECT_GE(detections, 9u);  // eight tiling directions and RGBA at least
  const std::string check = "\n    check it with repeats: corvalis -160x120 --tests ";
  size_t checks = 0;
  for (size_t at = r.out.find(check); at != std::string::npos; at = r.out.find(check, at + 1))
    ++checks;
  EXPECT_EQ(checks, uncertain) << r.out;
}

// The sections' names in the order they appear, Info left out.
std::vector<std::string> sectionOrder(const std::vector<std::string>& report) {
  std::vector<std::string> order;
  for (size_t i = 1; i < report.size(); ++i)
    if (const std::string name = report[i].substr(0, report[i].find(':'));
        name != "Info" && (order.empty() || order.back() != name))
      order.push_back(name);
  return order;
}

}  // namespace

// llvmpipe runs every test, softpipe all but the texture cache; without vertex buffers,
// multitexture and S3TC the fallbacks measure (display lists, one layer per filter, no
// compressed sweeps).
TEST(MeasurementRuns, EachDriverAndTheFallbacksMeasureEveryKey) {
  const struct {
    const char *what, *tests;  // tests "" for the default selection
    std::map<std::string, std::string> env;
    std::vector<std::string> sections;
    int minLayers, maxLayers;
  } runs[] = {
      {"llvmpipe", "", {{"GALLIUM_DRIVER", "llvmpipe"}},
       {"Fillrate", "Bandwidth", "Geometry", "Texturing", "Readback", "TexCache", "Tiling"}, 2, 8},
      {"softpipe", "fillrate,bandwidth,geometry,texturing,readback,tiling", {{"GALLIUM_DRIVER", "softpipe"}},
       {"Fillrate", "Bandwidth", "Geometry", "Texturing", "Readback", "Tiling"}, 1, 8},
      {"fallbacks", "geometry,texturing,texcache",
       {{"GALLIUM_DRIVER", "llvmpipe"},
        {"MESA_EXTENSION_OVERRIDE",
         "-GL_ARB_vertex_buffer_object -GL_ARB_multitexture -GL_EXT_texture_compression_s3tc"}},
       {"Geometry", "Texturing", "TexCache"}, 1, 1},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    std::vector<std::string> args = {"-160x120", "--output", "out"};
    if (*run.tests) args.insert(args.end(), {"--tests", run.tests});
    const RunResult r = runCorvalis(args, run.env);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    // The driver refused none of the measurements' calls.
    EXPECT_FALSE(contains(r.err, " while measuring ")) << r.err;
    EXPECT_FALSE(contains(readBytes(r.folder + "/out.json"), "\"glError\""));
    expectFollowsSchema("corvalis-run", {r.folder + "/out.json"});
    const std::vector<std::string> report = crlfLines(readBytes(r.folder + "/out.txt"));
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report[0], "[Corvalis 0.50]");
    EXPECT_EQ(sectionOrder(report), run.sections);
    const int layers = static_cast<int>(linesWithPrefix(report, "Texturing:").size() - 1) / 2;
    EXPECT_GE(layers, run.minLayers);
    EXPECT_LE(layers, run.maxLayers);
    expectSection(report, "Texturing:", texturingKeys(layers), rate("Pix/s"));
    expectSection(report, "Geometry:", GeometryKeys, rate("Tris/s"));
    auto has = [&](const char* name) { return !*run.tests || contains(run.tests, name); };
    if (has("fillrate")) {  // with bandwidth, readback and tiling
      expectSection(report, "Fillrate:", FillrateKeys, rate("Pix/s"));
      expectSection(report, "Bandwidth:", BandwidthKeys, rate("B/s"));
      expectSection(report, "Readback:", ReadbackKeys, rate("Pix/s"));
      expectSection(report, "Tiling:", TilingKeys, isTileSize);
      // The four tiling files: six rows of block sizes 64 to 2; at 160 x 120 no row band
      // of 64 pixels fits, so that row's height rates are zero. (Their bytes and the page's
      // links to them are the Tiling unit tests'.)
      EXPECT_EQ(csvRows(r.folder, {"tile_all", "tile_c", "tile_z", "tile_s"}),
                "out.tile_all.csv 6 5\nout.tile_c.csv 6 5\nout.tile_z.csv 6 5\nout.tile_s.csv 6 5\n");
    }
    if (has("texcache")) expectCache(report, r.folder, !run.env.count("MESA_EXTENSION_OVERRIDE"));
    if (has("texcache") && has("tiling")) expectSingleRunEvidence(report, r);
  }
}

// A core profile has no immediate mode: every fill quad is refused, and the rates are
// nonsense. Each such value is named on stderr and carries the error in BASE.json (which
// still follows its schema); the
// read-backs, which a core profile allows, are not blamed for the context probe's
// refused queries. The text report keeps its form.
TEST(MeasurementRuns, GlErrorsOfACoreProfileAreNamedBesideTheValuesTheyTouched) {
  const RunResult r = runCorvalis({"-64x48", "--output", "out", "--tests", "fillrate,readback"},
                                  {{"GALLIUM_DRIVER", "llvmpipe"},
                                   {"MESA_GL_VERSION_OVERRIDE", "3.1FC"}});
  const std::vector<std::string> report = crlfLines(readBytes(r.folder + "/out.txt"));
  const std::vector<std::string> driver = linesWithPrefix(report, "Info:Driver=");
  if (driver.empty() || !contains(driver[0], "Core Profile"))
    GTEST_SKIP() << "the driver gave no core profile: " << r.err;
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "corvalis: GL_INVALID_OPERATION while measuring Fillrate:32:Col; "
                              "the value may be wrong\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "while measuring Readback")) << r.err;
  nlohmann::json json = nlohmann::json::parse(readBytes(r.folder + "/out.json"));
  EXPECT_EQ(json["values"]["Fillrate:16:Col"].value("glError", ""), "GL_INVALID_OPERATION")
      << json["values"]["Fillrate:16:Col"];
  expectFollowsSchema("corvalis-run", {r.folder + "/out.json"});
  expectSection(report, "Fillrate:", FillrateKeys, rate("Pix/s"));
  expectSection(report, "Readback:", ReadbackKeys, rate("Pix/s"));
}

// On a slow renderer the texture cache's rounds draw one quad a slice instead of four. The
// rounds must still give every size of a format as many slices as the others (or no
// edge could be decided), and count their rate in fetches as the single run does: the
// two runs' rates at each size agree within a factor of two, where a slice counted in
// batches or quads wrongly would be off fourfold.
TEST(MeasurementRuns, TextureCacheRoundsOnASlowRendererCountLikeTheSingleRun) {
  const std::map<std::string, std::string> softpipe = {{"GALLIUM_DRIVER", "softpipe"}};
  const RunResult single =
      runCorvalis({"-320x240", "--tests", "texcache", "--output", "out"}, softpipe);
  const RunResult rounds = runCorvalis(
      {"-320x240", "--tests", "texcache", "--repeat", "2", "--output", "out"}, softpipe);
  ASSERT_EQ(single.exitStatus, 0) << single.err;
  ASSERT_EQ(rounds.exitStatus, 0) << rounds.err;
  const nlohmann::json once = nlohmann::json::parse(readBytes(single.folder + "/out.json"));
  const nlohmann::json repeated = nlohmann::json::parse(readBytes(rounds.folder + "/out.json"));
  ASSERT_TRUE(repeated["sweeps"].contains("rgba")) << repeated["sweeps"];
  for (const auto& [format, sizes] : repeated["sweeps"].items()) {
    SCOPED_TRACE(format);
    ASSERT_EQ(sizes.size(), once["sweeps"][format].size());
    const size_t slices = sizes[0]["rateSamples"].size();
    EXPECT_GE(slices, 6u);
    for (size_t n = 0; n < sizes.size(); ++n) {
      EXPECT_EQ(sizes[n]["rateSamples"].size(), slices) << sizes[n];
      const double ratio =
          sizes[n]["rate"].get<double>() / once["sweeps"][format][n]["rate"].get<double>();
      EXPECT_GT(ratio, 0.5) << sizes[n]["bytes"];
      EXPECT_LT(ratio, 2.0) << sizes[n]["bytes"];
    }
    std::string key = format;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(repeated["evidence"].contains("TexCache:" + key)) << key;
  }
}
