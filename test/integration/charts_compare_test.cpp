// The charts page of a real run, seen in a real browser, and --compare of two real runs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// A run of the two sweep tests and one of Fillrate and the texture cache with --no-charts:
// the charts page of the first, none for the second, and the two compared without any
// driver.
TEST(ChartsAndCompare, ChartsPageAndCompareOfTwoRealRuns) {
  const RunResult sweeps = runCorvalis({"-96x72", "--tests", "texcache,tiling"});
  const RunResult fillrate = runCorvalis({"-96x72", "--tests", "fillrate,texcache", "--no-charts"});
  ASSERT_EQ(sweeps.exitStatus, 0) << sweeps.err;
  ASSERT_EQ(fillrate.exitStatus, 0) << fillrate.err;
  // The charts page of the sweeps: one chart per data file, listed, a report file, and
  // drawn by headless chromium (where installed) in more than one colour.
  const std::string page = readBytes(sweeps.folder + "/results.charts.htm");
  ASSERT_FALSE(page.empty());
  EXPECT_TRUE(contains(sweeps.out, "/results.charts.htm\n")) << sweeps.out;
  size_t dataFiles = 0;
  for (const char* suffix : {"rgba", "dxt1", "dxt5", "pal8", "tile_all", "tile_c", "tile_z", "tile_s"})
    dataFiles += fileExists(sweeps.folder + "/results." + suffix + ".csv") ? 1 : 0;
  EXPECT_GE(dataFiles, 5u);
  EXPECT_EQ(occurrences(page, "<svg "), dataFiles);
  EXPECT_EQ(occurrences(page, "<figcaption>"), dataFiles);
  EXPECT_TRUE(contains(page, "charset=ISO-8859-1"));
  EXPECT_FALSE(contains(page, "<script"));
  EXPECT_FALSE(contains(page, "http://www.w3.org/2000/svg\" href"));
  EXPECT_TRUE(contains(page, "Tiling: color buffer"));
  EXPECT_TRUE(contains(page, "working set (log scale)"));
  // A single run's BASE.json carries evidence, but the captions that explain rounds and
  // slices stay off its page.
  EXPECT_TRUE(contains(readBytes(sweeps.folder + "/results.json"), "\"evidence\""));
  EXPECT_FALSE(contains(page, "Measured in rounds"));
  EXPECT_FALSE(contains(page, "deepest block"));
  // The page is a report file: CR LF throughout.
  EXPECT_EQ(occurrences(page, "\n"), occurrences(page, "\r\n"));
  // The progress of a run that is not on a terminal stays the plain lines.
  EXPECT_TRUE(std::regex_search(sweeps.err, std::regex("\\[1/2\\] Texture cache \\.\\.\\.\\n")))
      << sweeps.err;
  EXPECT_FALSE(contains(sweeps.err, "\r"));
  if (shellCommand("command -v chromium >/dev/null") == 0) {
    const std::string png = sweeps.folder + "/charts.png";
    const std::string command =
        "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--user-data-dir=" + sweeps.folder + "/chromium-profile --screenshot=" + png +
        " --window-size=1200,2000 file://" + sweeps.folder + "/results.charts.htm >/dev/null 2>&1";
    ASSERT_EQ(shellCommand(command), 0);
    ASSERT_TRUE(fileExists(png));
    // A blank page has one colour; the charts have lines, text and markers in several.
    std::string colours;
    if (shellCommand("convert " + png + " -format %k info:", &colours) == 0) {
      EXPECT_GT(std::atoi(colours.c_str()), 8) << colours;
    }
  }
  EXPECT_TRUE(fileExists(fillrate.folder + "/results.rgba.csv"));
  EXPECT_FALSE(fileExists(fillrate.folder + "/results.charts.htm"));
  EXPECT_FALSE(contains(fillrate.out, "charts")) << fillrate.out;
  const std::string a = sweeps.folder + "/results.txt", b = fillrate.folder + "/results.txt";
  const std::map<std::string, std::string> noDriver = {
      {"LIBGL_DRIVERS_PATH", "/nonexistent"}, {"__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent"},
      {"EGL_PLATFORM", "none"}};
  RunResult r = runCorvalis({"--compare", a, b, "--output", "cmp"}, noDriver);
  // Without the gate nothing fails a comparison (the two runs' cache sizes may well differ):
  // no verdict, no JSON, exit 0.
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_FALSE(contains(r.out, "verdict")) << r.out;
  EXPECT_FALSE(fileExists(r.folder + "/cmp.compare.json"));
  // A ratio needs a first value other than 0 (no cache size found, as a loaded machine may
  // measure it).
  std::smatch rgba;
  ASSERT_TRUE(std::regex_search(
      r.out, rgba,
      std::regex("\\nTexCache:RGBA +([0-9.]+) (Mi )?B +[0-9.]+ (Mi )?B( +[0-9]+\\.[0-9]{3}( \\*)?)? *\\n")))
      << r.out;
  EXPECT_EQ(rgba[4].matched, rgba[1].str() != "0") << r.out;
  EXPECT_TRUE(contains(r.out, "Info:Driver"));
  const std::string html = readBytes(r.folder + "/cmp.compare.htm");
  EXPECT_TRUE(contains(html, "<td>TexCache:RGBA</td>")) << html.substr(0, 500);
  EXPECT_FALSE(contains(r.err, "Corvalis:"));  // no run, no device line
}

}  // namespace
