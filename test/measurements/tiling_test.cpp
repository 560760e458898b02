#include "measurements/tiling.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "measurements/csv_data_file.h"
#include "measurements/section_text_lines.h"

using namespace corvalis;
using corvalis::testing::crlf;
using corvalis::testing::fileExists;
using corvalis::testing::readBytes;
using corvalis::testing::summaryOf;
using corvalis::testing::TempDir;

namespace {

void setSweep(TileSweep& sweep, int width, int height) {
  sweep.tileWidth = width;
  sweep.tileHeight = height;
  for (int s = 0; s < TileSteps; ++s) {
    sweep.xRates[s] = 100.0f + s;
    sweep.yRates[s] = 200.0f + s;
  }
}

// The results of a run on a window with every buffer.
void fillMeasured(TilingTest& test) {
  test.hasRun = true;
  test.failed = false;
  test.hasDepth = test.hasStencil = true;
  std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
  setSweep(test.sweeps[TileColor], 16, 0);
  setSweep(test.sweeps[TileDepth], 0, 8);
  setSweep(test.sweeps[TileStencil], 32, 4);
  setSweep(test.sweeps[TileCombined], 16, 8);
}

}  // namespace

// Each buffer the window has gets its group, in the text and on the page with a link to
// its data file; stencil alone brings the combined group too, and the summary is the
// combined sweep, or the colour sweep without either. All four data files are written.
TEST(TilingReport, EachBufferOfTheWindowHasItsGroupAndLink) {
  const std::string combined = "Tiling:Combined:Width=16 \nTiling:Combined:Height=8 \n";
  const std::string color = "Tiling:Color:Width=16 \nTiling:Color:Height=none\n";
  const std::string depth = "Tiling:Z:Width=none\nTiling:Z:Height=8 \n";
  const std::string stencil = "Tiling:Stencil:Width=32 \nTiling:Stencil:Height=4 \n";
  const struct {
    bool depth, stencil;
    std::string lines;
    const char* summary;
  } cases[] = {{true, true, combined + color + depth + stencil, "16x8"},
               {false, true, combined + color + stencil, "16x8"},
               {false, false, color, "16x0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    TilingTest test;
    fillMeasured(test);
    test.hasDepth = c.depth;
    test.hasStencil = c.stencil;
    corvalis::testing::WrittenReport out;
    out.write(test);
    EXPECT_EQ(out.text, crlf("[Corvalis 0.50]\nTiling:Mode=R8G8B8A8 Z24 S8\n" + c.lines));
    const std::pair<std::string, bool> groups[] = {
        {"updating all buffers (<a href=\"" + out.link + ".tile_all.csv\">CSV</a>)", c.depth || c.stencil},
        {"in color buffer (<a href=\"" + out.link + ".tile_c.csv\">CSV</a>)", true},
        {"in depth buffer (<a href=\"" + out.link + ".tile_z.csv\">CSV</a>)", c.depth},
        {"in stencil buffer (<a href=\"" + out.link + ".tile_s.csv\">CSV</a>)", c.stencil}};
    size_t previous = out.html.find("preferred block alignment");
    ASSERT_NE(previous, std::string::npos) << out.html;
    for (const auto& [group, shown] : groups) {
      const size_t at = out.html.find(group);
      if (!shown) {
        EXPECT_EQ(at, std::string::npos) << group;
        continue;
      }
      ASSERT_NE(at, std::string::npos) << group << "\n" << out.html;
      EXPECT_GT(at, previous) << group;
      previous = at;
    }
    EXPECT_TRUE(out.htmlHas("<li>16 pixels wide</li>"));
    EXPECT_TRUE(out.htmlHas("<li>none detected in y-direction</li>"));
    EXPECT_EQ(summaryOf(test), c.summary);
    for (const char* suffix : {".tile_c.csv", ".tile_z.csv", ".tile_s.csv"})
      EXPECT_TRUE(fileExists(out.base + suffix)) << suffix;
    const std::string all = readBytes(out.base + ".tile_all.csv");
    EXPECT_EQ(all, crlf(tileCsvText(test.sweeps[TileCombined])));
    EXPECT_EQ(all.substr(0, all.find("\r\n", 60) + 2),
              "width,aligned,offset,ratio,height,aligned,offset,ratio\r\n"
              "64,100.000000,101.000000,0.990099,64,200.000000,201.000000,0.995025\r\n");
  }
}

// A sweep's GL errors go with both its lines, a size found or "none"; the text stays.
TEST(TilingReport, GlErrorsOfASweepTouchItsWidthAndHeight) {
  TilingTest test;
  fillMeasured(test);
  const corvalis::testing::SectionOutput clean = corvalis::testing::writeSectionOf(test);
  EXPECT_TRUE(clean.glErrors.empty());
  test.sweeps[TileColor].glError = "GL_INVALID_ENUM";  // width 16, height none
  const corvalis::testing::SectionOutput touched = corvalis::testing::writeSectionOf(test);
  EXPECT_EQ(touched.glErrors, (std::vector<std::string>{"Tiling:Color:Width: GL_INVALID_ENUM",
                                                        "Tiling:Color:Height: GL_INVALID_ENUM"}));
  EXPECT_EQ(touched.lines, clean.lines);
}

TEST(TilingDataFiles, ANameTooLongFailsAndTheOthersAreWritten) {
  TempDir dir;
  // base + ".tile_c.csv" is exactly the longest name; ".tile_all.csv" is two longer.
  std::string folder = dir.path();
  const size_t baseLength = MaxDataFileName - std::strlen(".tile_c.csv");
  while (folder.size() + 1 + 200 < baseLength) {
    folder += "/" + std::string(100, 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  }
  const std::string base = folder + "/" + std::string(baseLength - folder.size() - 1, 'b');
  ASSERT_EQ(base.size(), baseLength);
  TilingTest test;
  FileGroup files;
  test.writeDataFiles(base.c_str(), files);
  files.commitAll();
  EXPECT_FALSE(fileExists(base + ".tile_all.csv"));
  for (const char* suffix : {".tile_c.csv", ".tile_z.csv", ".tile_s.csv"})
    EXPECT_TRUE(fileExists(base + suffix)) << suffix;
  std::vector<FileOutcome> outcomes = files.outcomes();
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[0].path, base + ".tile_all.csv");
  EXPECT_NE(outcomes[0].error.find("longer than 259 characters"), std::string::npos);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(outcomes[i].error, "") << i;
}

using TilingRun = corvalis::testing::FakeDisplayTest;

TEST_F(TilingRun, AFailedContextZeroesEverySweep) {
  fake.contextError = 12;
  TilingTest test;
  setSweep(test.sweeps[TileColor], 16, 8);  // the results of an earlier run
  test.hasDepth = true;
  test.run(RunContext());
  EXPECT_TRUE(test.failed);
  TempDir dir;
  FileGroup files;
  test.writeDataFiles(dir.file("r").c_str(), files);
  files.commitAll();
  // Zero rates and "nan" ratios, whatever the earlier run measured.
  std::string zeros = "width,aligned,offset,ratio,height,aligned,offset,ratio\r\n";
  for (const char* block : {"64", "32", "16", "8", "4", "2"})
    zeros += std::string(block) + ",0.000000,0.000000,nan," + block + ",0.000000,0.000000,nan\r\n";
  for (const char* suffix : {".tile_all.csv", ".tile_c.csv", ".tile_z.csv", ".tile_s.csv"})
    EXPECT_EQ(readBytes(dir.file(std::string("r") + suffix)), zeros) << suffix;
}
