#include "measurements/texture_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measurements/section_text_lines.h"

using namespace corvalis;
using corvalis::testing::crlf;
using corvalis::testing::fileExists;
using corvalis::testing::readBytes;
using corvalis::testing::summaryOf;
using corvalis::testing::TempDir;

namespace {

// A test object holding the results of a run on a 1024 x 768 screen with S3TC but
// without paletted textures.
void fillResults(TextureCacheTest& test) {
  test.hasRun = true;
  test.failed = false;
  std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
  const int bits[CacheFormats] = {32, 4, 8, 8};
  const int first[CacheFormats] = {0, 4, 4, 0};
  for (int f = 0; f < CacheFormats; ++f) {
    FormatSweep& sweep = test.sweeps[f];
    sweep.bitsPerTexel = bits[f];
    sweep.firstIndex = first[f];
    sweep.lastIndex = 18;
    sweep.measured = f != CachePaletted;
    for (int n = sweep.firstIndex; n <= 18; ++n) sweep.rates[n] = 1000.0f * (n + 1) + 0.5f;
  }
  test.cacheBytes[CacheRgba] = 16384.0f;
  test.cacheBytes[CacheDxt1] = 0.0f;
  test.cacheBytes[CacheDxt5] = 8192.0f;
  test.cacheBytes[CachePaletted] = 0.0f;
}

}  // namespace

// RGBA always has its line, the other formats only where a size was found, large ones in
// Mi B; the page lists each found size with a link ('@') to its data file. The summary is
// the RGBA size, "n/a" before a run. The data files hold one row per size of each measured
// format, found or not.
TEST(TextureCacheReport, ShowsRgbaAlwaysAndOtherFormatsOnlyWhenFound) {
  struct Case {
    float bytes[CacheFormats];
    const char* lines;
    std::vector<std::string> htmlHas, htmlLacks;
    const char* summary;
  } const cases[] = {
      {{16384, 0, 8192, 0}, "TexCache:RGBA=16384 B\nTexCache:DXT5=8192 B\n",
       {"<li>16 kiB using RGBA textures(<a href=\"@.rgba.csv\">CSV</a>)</li>",
        "<li>8 kiB using DXT5 textures(<a href=\"@.dxt5.csv\">CSV</a>)</li>"}, {"dxt1", "pal8"}, "16 kiB"},
      {{0, 1048576, 0, 524288}, "TexCache:RGBA=0 B\nTexCache:DXT1=1.000 Mi B\nTexCache:Pal=524288 B\n",
       {"<a href=\"@.pal8.csv\">CSV</a>"}, {}, "0B"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    TextureCacheTest test;
    EXPECT_EQ(summaryOf(test), "n/a");
    fillResults(test);
    for (int f = 0; f < CacheFormats; ++f) test.cacheBytes[f] = c.bytes[f];
    corvalis::testing::WrittenReport out;
    out.write(test);
    EXPECT_EQ(out.text, crlf(std::string("[Corvalis 0.50]\nTexCache:Mode=R8G8B8A8 Z24 S8\n") + c.lines));
    EXPECT_TRUE(out.htmlHas("Mode: R8G8B8A8 Z24 S8")) << out.html;
    for (std::string part : c.htmlHas)
      EXPECT_TRUE(out.htmlHas(part.replace(part.find('@'), 1, out.link))) << part;
    for (const std::string& part : c.htmlLacks) EXPECT_FALSE(out.htmlHas(part)) << part;
    EXPECT_EQ(summaryOf(test), c.summary);
    std::string rgba = "rgba_fetches/s,bytes\n";
    for (int n = 0; n <= 18; ++n)
      rgba += std::to_string(1000 * (n + 1)) + ".500000," + std::to_string(4u << n) + "\n";
    EXPECT_EQ(readBytes(out.base + ".rgba.csv"), crlf(rgba));
    // DXT from 16 texels (index 4) on.
    EXPECT_EQ(readBytes(out.base + ".dxt1.csv").substr(0, 37), "dxt1_fetches/s,bytes\r\n5000.500000,8\r\n");
    const std::string dxt5 = readBytes(out.base + ".dxt5.csv");
    EXPECT_EQ(dxt5.substr(0, 38), "dxt5_fetches/s,bytes\r\n5000.500000,16\r\n");
    EXPECT_EQ(dxt5.substr(dxt5.size() - 23), "\r\n19000.500000,262144\r\n");
    EXPECT_FALSE(fileExists(out.base + ".pal8.csv"));
  }
}

// A format's GL errors go with its size, and with its key where no size was found and
// the reports show no line; the text stays.
TEST(TextureCacheReport, GlErrorsOfASweepTouchItsSizeLineOrNot) {
  TextureCacheTest test;
  fillResults(test);
  const std::vector<std::string> clean = corvalis::testing::sectionTextLines(test);
  test.sweeps[CacheRgba].glError = "GL_OUT_OF_MEMORY";
  test.sweeps[CacheDxt1].glError = "GL_INVALID_ENUM, GL_INVALID_VALUE";  // found nothing
  const corvalis::testing::SectionOutput touched = corvalis::testing::writeSectionOf(test);
  EXPECT_EQ(touched.glErrors,
            (std::vector<std::string>{"TexCache:RGBA: GL_OUT_OF_MEMORY",
                                      "TexCache:DXT1: GL_INVALID_ENUM, GL_INVALID_VALUE"}));
  EXPECT_EQ(touched.lines, clean);
}

using TextureCacheRun = corvalis::testing::FakeDisplayTest;

TEST_F(TextureCacheRun, AWindowThatFailsLeavesNoStaleResults) {
  fake.failWindow = true;
  TextureCacheTest test;
  fillResults(test);  // the results of an earlier run
  test.run(RunContext());
  for (int f = 0; f < CacheFormats; ++f) {
    EXPECT_FALSE(test.sweeps[f].measured) << f;
    EXPECT_EQ(test.cacheBytes[f], 0.0f) << f;
  }
  // The earlier run's rows are not written again: the RGBA file holds its header alone.
  TempDir dir;
  FileGroup files;
  test.writeDataFiles(dir.file("r").c_str(), files);
  files.commitAll();
  EXPECT_EQ(readBytes(dir.file("r.rgba.csv")), "rgba_fetches/s,bytes\r\n");
  for (const char* suffix : {".dxt1.csv", ".dxt5.csv", ".pal8.csv"})
    EXPECT_FALSE(fileExists(dir.file("r") + suffix)) << suffix;
}
