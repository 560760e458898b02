// The real program's command line, exit statuses and report files.

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

TEST(Cli, HelpVersionAndListNeedNoDriver) {
  RunResult help = runCorvalis({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(contains(help.out, "--tests LIST")) << help.out;

  RunResult version = runCorvalis({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "Corvalis 0.50\n");

  RunResult list = runCorvalis({"--list"});
  EXPECT_EQ(list.exitStatus, 0);
  std::regex order("Fillrate[^\\n]*\\nBandwidth[^\\n]*\\nGeometry[^\\n]*\\nTexturing[^\\n]*\\n"
                   "Readback[^\\n]*\\nTexCache +Texture cache\\nTiling[^\\n]*\\n");
  EXPECT_TRUE(std::regex_match(list.out, order)) << list.out;
}

// Runs that stop before measuring or cannot measure at all. The parser's paths are
// covered by the command-line unit tests; here one usage error found by the parser and
// one (a device that does not exist) found after it exit 2 with the usage and write
// nothing, as does --window without a display or with one that cannot be opened (exit 3,
// before anything runs); without --window that display is not asked and the devices are
// listed headless. Without a usable OpenGL every test fails in a written report (exit 3),
// whose BASE.json follows its schema with every value an Error line.
TEST(Cli, RunsThatCannotMeasureExitWithTheirStatusAndMessage) {
  const struct {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int status;
    std::vector<std::string> errParts, reportParts;  // no report parts: no report written
  } cases[] = {
      {{"--tests", "fillrate,nothing"}, {}, 2, {"usage: corvalis", "'nothing'"}, {}},
      {{"--device", "99"}, {}, 2, {"usage: corvalis"}, {}},
      {{"-64x48", "--window", "--tests", "readback"}, {{"DISPLAY", ""}}, 3,
       {"--window needs an X display, but no X display: DISPLAY is not set"}, {}},
      {{"--window", "--list-devices"}, {{"DISPLAY", ":9999"}}, 3,
       {"the X display ':9999' cannot be opened"}, {}},
      {{"-64x48", "--tests", "readback,bandwidth"},
       {{"LIBGL_DRIVERS_PATH", "/nonexistent"}, {"GALLIUM_DRIVER", "nonexistent"},
        {"EGL_PLATFORM", "surfaceless"}},
       3, {"OpenGL could not be initialised"},
       {"Info:Driver=GL initialization failed ...\r\n", "Readback:Error=", "Bandwidth:Error="}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const RunResult r = runCorvalis(c.args, c.env);
    EXPECT_EQ(r.exitStatus, c.status) << r.err;
    for (const std::string& part : c.errParts) EXPECT_TRUE(contains(r.err, part)) << r.err;
    const std::string text = readBytes(r.folder + "/results.txt");
    for (const char* file : {"/results.txt", "/results.htm"})
      EXPECT_EQ(fileExists(r.folder + file), !c.reportParts.empty()) << file;
    for (const std::string& part : c.reportParts) EXPECT_TRUE(contains(text, part)) << text;
    if (!c.reportParts.empty()) expectFollowsSchema("corvalis-run", {r.folder + "/results.json"});
  }
  const RunResult headless = runCorvalis({"--list-devices"}, {{"DISPLAY", ":9999"}});
  EXPECT_EQ(headless.exitStatus, 0) << headless.err;
  EXPECT_FALSE(contains(headless.out, "window:")) << headless.out;
  EXPECT_TRUE(contains(headless.out, ", pbuffer)\n")) << headless.out;
}

// One run serves the information section, the skipped tests, the console output and
// --repeat 2: every timed value of BASE.json holds two samples, its keys are those of
// BASE.txt, it follows its schema (and a copy broken in two fields does not, naming
// each), and the summary names each test's largest spread.
TEST(Cli, InformationSectionSkippedTestsAndRepeats) {
  RunResult r = runCorvalis({"-64x48", "--tests", "readback,tiling", "--repeat", "2", "--comment",
                             "Gr\xC3\xBC\xC3\x9F" "e", "--sync", "swap", "--bbcode"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> lines = crlfLines(readBytes(r.folder + "/results.txt"));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("Info:Driver=.*llvmpipe.* v[0-9].*"))) << lines[1];
  // The comment is single-byte in the file.
  EXPECT_EQ((std::vector<std::string>{lines[0], lines[2], lines[3], lines[4]}),
            (std::vector<std::string>{"[Corvalis 0.50]", "Info:Resolution=64x48 @ unknown refresh rate",
                                      "Info:Comment=Gr\xFC\xDF" "e", "Info:Method=Swap"}));
  for (size_t i = 5; i < lines.size(); ++i)
    EXPECT_TRUE(lines[i].rfind("Readback:", 0) == 0 || lines[i].rfind("Tiling:", 0) == 0) << lines[i];
  const std::string html = readBytes(r.folder + "/results.htm");
  EXPECT_EQ(occurrences(html, "test skipped"), 5u);
  EXPECT_TRUE(contains(html, "64x48 @ unknown refresh rate (assuming 85Hz)<br>\r\n"));

  // Progress on stderr; summaries, each test's largest spread (Tiling's from the rates of
  // its data files), the detections with their confidence, the written files and the BB
  // code in UTF-8 on stdout.
  EXPECT_TRUE(contains(r.err, "[1/2] Readback")) << r.err;
  for (const std::string& part : {r.folder + "/results.htm\n", std::string("[CODE][b][url="),
                                  std::string("Gr\xC3\xBC\xC3\x9F" "e"),
                                  std::string("Largest spread (max/min of 2 repeats):")})
    EXPECT_TRUE(contains(r.out, part)) << part << "\n" << r.out;
  for (const char* line : {"Fillrate +n/a\n", "  Readback +[0-9]+\\.[0-9]{3}\n",
                           "  Tiling +[0-9]+\\.[0-9]{3}\n", "Tiling +[0-9]+x[0-9]+ \\((clear|uncertain|none)",
                           "\n  Tiling:Color:Width +[0-9a-z]+ +(clear|uncertain|none) "})
    EXPECT_TRUE(std::regex_search(r.out, std::regex(line))) << line << "\n" << r.out;

  nlohmann::json doc = nlohmann::json::parse(readBytes(r.folder + "/results.json"));
  EXPECT_EQ(doc["settings"]["repeat"], 2);
  std::set<std::string> textKeys, jsonKeys;
  for (const std::string& line : lines)
    if (line.find('=') != std::string::npos && line.compare(0, 5, "Info:") != 0)
      textKeys.insert(line.substr(0, line.find('=')));
  for (const auto& value : doc["values"].items()) jsonKeys.insert(value.key());
  EXPECT_EQ(jsonKeys, textKeys);
  EXPECT_EQ(doc["values"]["Readback:Whole32:R8G8B8A8"]["samples"].size(), 2u) << doc["values"].dump();
  // Tiling alternates its patterns in eight short slices per repeat (twice that where a
  // direction came out uncertain and was swept again), aligned and offset in pairs, and
  // each detection carries its evidence to BASE.json.
  ASSERT_EQ(doc["sweeps"]["tile_c"].size(), 6u);
  const size_t slices = doc["sweeps"]["tile_c"][5]["widthAlignedSamples"].size();
  EXPECT_TRUE(slices == 16u || slices == 32u) << slices;
  EXPECT_EQ(doc["sweeps"]["tile_c"][5]["widthOffsetSamples"].size(), slices);
  // (Their fields' forms are the schema's.)
  for (const char* key : {"Tiling:Combined:Width", "Tiling:Color:Height", "Tiling:Stencil:Width"}) {
    nlohmann::json& step = doc["evidence"][key]["step"];
    EXPECT_TRUE(step["ratio"].is_number() && step["low"] <= step["ratio"] && step["ratio"] <= step["high"])
        << key << " " << doc["evidence"][key];
  }
  expectFollowsSchema("corvalis-run", {r.folder + "/results.json"});
  doc["values"]["Readback:Whole32:R8G8B8A8"]["value"] = "fast";
  doc.erase("formatVersion");
  ASSERT_TRUE(corvalis::testing::writeBytes(r.folder + "/broken.json", doc.dump()));
  std::string out;
  EXPECT_EQ(validateJson("corvalis-run", {r.folder + "/broken.json"}, out), 1) << out;
  EXPECT_TRUE(contains(out, "/values/Readback:Whole32:R8G8B8A8/value: 'fast' is not of type 'number'\n"))
      << out;
  EXPECT_TRUE(contains(out, ": /: 'formatVersion' is a required property\n")) << out;
}

// --repeat auto: every value takes at least the first six rounds, the summary shows the
// headline value's interval, the run ends by naming what is still open (or that
// nothing is), and BASE.json records the mode and its budget.
TEST(Cli, AdaptiveRepeatsShowIntervalsAndWhatIsOpen) {
  RunResult r = runCorvalis({"-64x48", "--tests", "readback", "--repeat", "auto", "--budget", "8"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\nReadback +[0-9.]+ [GM]Pix/s  \\[[0-9.]+ [GM] to [0-9.]+ [GM]\\]\n")))
      << r.out;
  EXPECT_TRUE(contains(r.out, "Every value narrow") || contains(r.out, "Still open when the rounds ended"))
      << r.out;
  nlohmann::json doc = nlohmann::json::parse(readBytes(r.folder + "/results.json"));
  EXPECT_EQ(doc["settings"]["adaptive"], true);
  EXPECT_EQ(doc["settings"]["budget"], 8);
  for (const auto& value : doc["values"].items())
    if (value.value().contains("value")) {
      const size_t slices = value.value()["samples"].size();
      EXPECT_TRUE(slices >= 6 && slices <= 10) << value.key() << " " << slices;
    }
}

}  // namespace
