// The charts page of a real run seen in a real browser, --compare on real reports, and
// the manual page.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// Output of a shell command, empty when it fails.
std::string shellOutput(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

// Two real runs shared by the tests: the two sweep tests, and Fillrate alone. Each is
// made on first use, since ctest runs every case in a process of its own and a case
// should pay only for the runs it reads.
class ChartsAndCompare : public ::testing::Test {
 protected:
  static const RunResult& sweeps() {
    static const RunResult run = runCorvalis({"-96x72", "--tests", "texcache,tiling"});
    return run;
  }
  static const RunResult& fillrate() {
    static const RunResult run = runCorvalis({"-96x72", "--tests", "fillrate,texcache"});
    return run;
  }
};

TEST_F(ChartsAndCompare, ChartsPageHasOneChartPerDataFileAndIsListed) {
  ASSERT_EQ(sweeps().exitStatus, 0) << sweeps().err;
  const std::string page = readBytes(sweeps().folder + "/results.charts.htm");
  ASSERT_FALSE(page.empty());
  EXPECT_TRUE(contains(sweeps().out, "/results.charts.htm\n")) << sweeps().out;
  size_t dataFiles = 0;
  for (const char* suffix : {"rgba", "dxt1", "dxt5", "pal8", "tile_all", "tile_c", "tile_z", "tile_s"})
    dataFiles += fileExists(sweeps().folder + "/results." + suffix + ".csv") ? 1 : 0;
  EXPECT_GE(dataFiles, 5u);
  EXPECT_EQ(occurrences(page, "<svg "), dataFiles);
  EXPECT_EQ(occurrences(page, "<figcaption>"), dataFiles);
  EXPECT_TRUE(contains(page, "charset=ISO-8859-1"));
  EXPECT_FALSE(contains(page, "<script"));
  EXPECT_FALSE(contains(page, "http://www.w3.org/2000/svg\" href"));
  EXPECT_TRUE(contains(page, "Tiling: color buffer"));
  EXPECT_TRUE(contains(page, "working set (log scale)"));
  // The page is a report file: CR LF throughout.
  EXPECT_EQ(occurrences(page, "\n"), occurrences(page, "\r\n"));
  // The progress of a run that is not on a terminal stays the plain lines.
  EXPECT_TRUE(std::regex_search(sweeps().err, std::regex("\\[1/2\\] Texture cache \\.\\.\\.\\n")))
      << sweeps().err;
  EXPECT_FALSE(contains(sweeps().err, "\r"));
}

TEST_F(ChartsAndCompare, HeadlessChromiumDrawsTheChartsPage) {
  if (shellOutput("command -v chromium").empty()) GTEST_SKIP() << "chromium is not installed";
  const std::string png = sweeps().folder + "/charts.png";
  const std::string profile = sweeps().folder + "/chromium-profile";
  std::string command =
      "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir=" + profile + " --screenshot=" + png +
      " --window-size=1200,2000 file://" + sweeps().folder + "/results.charts.htm >/dev/null 2>&1"
      " && echo done";
  ASSERT_EQ(shellOutput(command), "done\n");
  ASSERT_TRUE(fileExists(png));
  // A blank page has one colour; the charts have lines, text and markers in several.
  std::string colours = shellOutput("convert " + png + " -format %k info:");
  if (colours.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  EXPECT_GT(std::atoi(colours.c_str()), 8) << colours;
}

TEST_F(ChartsAndCompare, NoChartsLeavesThePageOutAndSweeplessRunsWriteNone) {
  RunResult r = runCorvalis({"-64x48", "--tests", "tiling", "--no-charts"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(fileExists(r.folder + "/results.tile_c.csv"));
  EXPECT_FALSE(fileExists(r.folder + "/results.charts.htm"));
  ASSERT_EQ(fillrate().exitStatus, 0) << fillrate().err;
  EXPECT_TRUE(fileExists(fillrate().folder + "/results.charts.htm"));
}

TEST_F(ChartsAndCompare, CompareRealReportsWithoutAnyDriver) {
  const std::string a = sweeps().folder + "/results.txt", b = fillrate().folder + "/results.txt";
  const std::map<std::string, std::string> noDriver = {
      {"LIBGL_DRIVERS_PATH", "/nonexistent"}, {"__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent"},
      {"EGL_PLATFORM", "none"}};
  RunResult r = runCorvalis({"--compare", a, b, "--output", "cmp"}, noDriver);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  // Keys of one run only are rows too; a value of both has its ratio.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\\nTiling:Color:Width +[0-9]+ +\\(missing\\)\\n")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\\nFillrate:32:Col +\\(missing\\) +[0-9.]+ M Pix/s\\n")))
      << r.out;
  // A ratio needs a first value other than 0 (no cache size found, as a loaded machine
  // may measure it).
  std::smatch rgba;
  ASSERT_TRUE(std::regex_search(
      r.out, rgba,
      std::regex("\\nTexCache:RGBA +([0-9.]+) (Mi )?B +[0-9.]+ (Mi )?B( +[0-9]+\\.[0-9]{3}( \\*)?)? *\\n")))
      << r.out;
  EXPECT_EQ(rgba[4].matched, rgba[1].str() != "0") << r.out;
  EXPECT_TRUE(contains(r.out, "Info:Driver"));
  const std::string html = readBytes(r.folder + "/cmp.compare.htm");
  EXPECT_TRUE(contains(html, "<td>TexCache:RGBA</td>")) << html.substr(0, 500);
  EXPECT_TRUE(contains(html, "<rect"));
  EXPECT_FALSE(contains(r.err, "Corvalis:"));  // no run, no device line
}

TEST_F(ChartsAndCompare, CompareNamesAFileThatIsNotAReport) {
  const std::string folder = sweeps().folder;
  const std::string good = folder + "/results.txt";
  for (const std::string& bad :
       {folder + "/results.htm", folder + "/results.rgba.csv", folder + "/nothing.txt"}) {
    RunResult r = runCorvalis({"--compare", good, bad, "--output", "cmp"});
    EXPECT_EQ(r.exitStatus, 2) << bad;
    EXPECT_TRUE(contains(r.err, bad)) << r.err;
    // A bad file is no usage error: one line names it, without the usage text.
    EXPECT_EQ(occurrences(r.err, "\n"), 1u) << r.err;
    EXPECT_FALSE(contains(r.err, "usage:")) << r.err;
    EXPECT_FALSE(fileExists(r.folder + "/cmp.compare.htm"));
  }
}

}  // namespace
