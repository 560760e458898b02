// The real program's command line, exit statuses and report files.

#include <gtest/gtest.h>

#include <map>
#include <regex>
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

// The parser's paths are covered by the command-line unit tests; two real runs check
// what the program does with a usage error, one found by the parser and one (a device
// that does not exist) found after it: exit 2, the usage on stderr, no report written.
TEST(Cli, UsageErrorsExitTwoAndWriteNothing) {
  for (auto args : std::vector<std::vector<std::string>>{{"--tests", "fillrate,nothing"},
                                                         {"--device", "99"}}) {
    RunResult r = runCorvalis(args);
    EXPECT_EQ(r.exitStatus, 2) << args[0] << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "usage: corvalis")) << r.err;
    EXPECT_FALSE(fileExists(r.folder + "/results.htm"));
    EXPECT_TRUE(args[0] != "--tests" || contains(r.err, "'nothing'")) << r.err;
  }
}

// One run serves the information section, the skipped tests, the console output and
// --repeat 2: every timed value of BASE.json holds two samples, its keys are those of
// BASE.txt, and the summary names each test's largest spread.
TEST(Cli, InformationSectionSkippedTestsAndRepeats) {
  RunResult r = runCorvalis({"-64x48", "--tests", "readback,tiling", "--repeat", "2", "--comment",
                             "Gr\xC3\xBC\xC3\x9F" "e", "--sync", "swap", "--bbcode"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  std::string text = readBytes(r.folder + "/results.txt");
  std::vector<std::string> lines = crlfLines(text);
  ASSERT_GE(lines.size(), 5u) << text;
  EXPECT_EQ(lines[0], "[Corvalis 0.50]");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("Info:Driver=.*llvmpipe.* v[0-9].*"))) << lines[1];
  EXPECT_EQ(lines[2], "Info:Resolution=64x48 @ unknown refresh rate");
  EXPECT_EQ(lines[3], "Info:Comment=Gr\xFC\xDF" "e");  // single-byte in the file
  EXPECT_EQ(lines[4], "Info:Method=Swap");
  for (size_t i = 5; i < lines.size(); ++i)
    EXPECT_TRUE(lines[i].rfind("Readback:", 0) == 0 || lines[i].rfind("Tiling:", 0) == 0) << lines[i];

  std::string html = readBytes(r.folder + "/results.htm");
  EXPECT_EQ(occurrences(html, "test skipped"), 5u);
  EXPECT_TRUE(contains(html, "64x48 @ unknown refresh rate (assuming 85Hz)<br>\r\n"));

  // Progress on stderr, summaries and the written files on stdout, BB code in UTF-8.
  EXPECT_TRUE(contains(r.err, "[1/2] Readback")) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("Fillrate +n/a\n"))) << r.out;
  EXPECT_TRUE(contains(r.out, r.folder + "/results.htm\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "[CODE][b][url=")) << r.out;
  EXPECT_TRUE(contains(r.out, "Gr\xC3\xBC\xC3\x9F" "e")) << r.out;

  EXPECT_TRUE(contains(r.out, "Largest spread (max/min of 2 repeats):")) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("  Readback +[0-9]+\\.[0-9]{3}\n"))) << r.out;
  // Tiling reports sizes; its spread comes from the rates of its data files.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("  Tiling +[0-9]+\\.[0-9]{3}\n"))) << r.out;
  const nlohmann::json doc = nlohmann::json::parse(readBytes(r.folder + "/results.json"));
  EXPECT_EQ(doc["settings"]["repeat"], 2);
  size_t textKeys = 0;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || line.compare(0, 5, "Info:") == 0) continue;
    ++textKeys;
    EXPECT_TRUE(doc["values"].contains(line.substr(0, eq))) << line;
  }
  EXPECT_EQ(doc["values"].size(), textKeys);
  EXPECT_EQ(doc["values"]["Readback:Whole32:R8G8B8A8"]["samples"].size(), 2u) << doc["values"].dump();
  // Tiling alternates its patterns in eight short slices per repeat (twice that where a
  // direction came out uncertain and was swept again), aligned and offset in pairs, and
  // each detection carries its evidence to BASE.json and the console.
  ASSERT_EQ(doc["sweeps"]["tile_c"].size(), 6u);
  const size_t slices = doc["sweeps"]["tile_c"][5]["widthAlignedSamples"].size();
  EXPECT_TRUE(slices == 16u || slices == 32u) << slices;
  EXPECT_EQ(doc["sweeps"]["tile_c"][5]["widthOffsetSamples"].size(), slices);
  for (const char* key : {"Tiling:Combined:Width", "Tiling:Color:Height", "Tiling:Stencil:Width"}) {
    ASSERT_TRUE(doc["evidence"].contains(key)) << key;
    const nlohmann::json& evidence = doc["evidence"][key];
    EXPECT_TRUE(evidence["confidence"] == "clear" || evidence["confidence"] == "uncertain" ||
                evidence["confidence"] == "none")
        << evidence;
    EXPECT_EQ(evidence["unit"], "px");
    EXPECT_TRUE(evidence["step"]["low"] <= evidence["step"]["ratio"]) << evidence;
    EXPECT_TRUE(evidence["step"]["ratio"] <= evidence["step"]["high"]) << evidence;
  }
  EXPECT_TRUE(std::regex_search(r.out, std::regex("Tiling +[0-9]+x[0-9]+ \\((clear|uncertain|none)")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\n  Tiling:Color:Width +[0-9a-z]+ +(clear|uncertain|none) ")))
      << r.out;
}

TEST(Cli, NoUsableOpenGlFailsEveryTestCleanly) {
  RunResult r = runCorvalis({"-64x48", "--tests", "readback,bandwidth"},
                            {{"LIBGL_DRIVERS_PATH", "/nonexistent"},
                             {"GALLIUM_DRIVER", "nonexistent"},
                             {"EGL_PLATFORM", "surfaceless"}});
  EXPECT_EQ(r.exitStatus, 3) << r.err;
  EXPECT_TRUE(contains(r.err, "OpenGL could not be initialised")) << r.err;
  std::string text = readBytes(r.folder + "/results.txt");
  EXPECT_TRUE(contains(text, "Info:Driver=GL initialization failed ...\r\n")) << text;
  EXPECT_TRUE(contains(text, "Readback:Error=")) << text;
  EXPECT_TRUE(contains(text, "Bandwidth:Error=")) << text;
}

}  // namespace

