#include "measurements/tiling.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
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

class TilingReport : public ::testing::Test {
 protected:
  void SetUp() override {
    test.hasRun = true;
    test.failed = false;
    test.hasDepth = true;
    test.hasStencil = true;
    std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
    setSweep(test.sweeps[TileColor], 16, 0);
    setSweep(test.sweeps[TileDepth], 0, 8);
    setSweep(test.sweeps[TileStencil], 32, 4);
    setSweep(test.sweeps[TileCombined], 16, 8);
  }

  void writeReport() { out.write(test); }

  corvalis::testing::WrittenReport out;
  const std::string& base = out.base;
  const std::string& text = out.text;
  const std::string& html = out.html;
  TilingTest test;
};

}  // namespace

TEST_F(TilingReport, GroupsEveryMeasuredBufferWithItsLink) {
  writeReport();
  EXPECT_EQ(text, crlf("[Corvalis 0.50]\n"
                       "Tiling:Mode=R8G8B8A8 Z24 S8\n"
                       "Tiling:Combined:Width=16 \n"
                       "Tiling:Combined:Height=8 \n"
                       "Tiling:Color:Width=16 \n"
                       "Tiling:Color:Height=none\n"
                       "Tiling:Z:Width=none\n"
                       "Tiling:Z:Height=8 \n"
                       "Tiling:Stencil:Width=32 \n"
                       "Tiling:Stencil:Height=4 \n"));
  const std::string links[] = {
      "updating all buffers (<a href=\"" + out.link + ".tile_all.csv\">CSV</a>)",
      "in color buffer (<a href=\"" + out.link + ".tile_c.csv\">CSV</a>)",
      "in depth buffer (<a href=\"" + out.link + ".tile_z.csv\">CSV</a>)",
      "in stencil buffer (<a href=\"" + out.link + ".tile_s.csv\">CSV</a>)"};
  size_t previous = html.find("preferred block alignment");
  ASSERT_NE(previous, std::string::npos) << html;
  for (const std::string& expected : links) {
    const size_t at = html.find(expected);
    ASSERT_NE(at, std::string::npos) << expected << "\n" << html;
    EXPECT_GT(at, previous) << expected;
    previous = at;
  }
  EXPECT_NE(html.find("<li>16 pixels wide</li>"), std::string::npos);
  EXPECT_NE(html.find("<li>none detected in y-direction</li>"), std::string::npos);
  EXPECT_EQ(summaryOf(test), "16x8");
}

TEST_F(TilingReport, WithoutDepthAndStencilOnlyTheColourGroupShows) {
  test.hasDepth = false;
  test.hasStencil = false;
  writeReport();
  EXPECT_EQ(text, crlf("[Corvalis 0.50]\n"
                       "Tiling:Mode=R8G8B8A8 Z24 S8\n"
                       "Tiling:Color:Width=16 \n"
                       "Tiling:Color:Height=none\n"));
  EXPECT_EQ(html.find("updating all buffers"), std::string::npos);
  EXPECT_EQ(html.find("tile_z"), std::string::npos);
  EXPECT_EQ(summaryOf(test), "16x0");  // the colour sweep
  // All four data files are written all the same.
  for (const char* suffix : {".tile_all.csv", ".tile_c.csv", ".tile_z.csv", ".tile_s.csv"})
    EXPECT_TRUE(fileExists(base + suffix)) << suffix;
}

TEST_F(TilingReport, StencilWithoutDepthStillHasTheCombinedGroup) {
  test.hasDepth = false;
  writeReport();
  EXPECT_NE(html.find("updating all buffers"), std::string::npos);
  EXPECT_EQ(html.find("in depth buffer"), std::string::npos);
  EXPECT_NE(html.find("in stencil buffer"), std::string::npos);
}

// A sweep's GL errors go with both its lines, a size found or "none"; the text stays.
TEST_F(TilingReport, GlErrorsOfASweepTouchItsWidthAndHeight) {
  const std::vector<std::string> clean = corvalis::testing::sectionTextLines(test);
  EXPECT_TRUE(corvalis::testing::sectionGlErrors(test).empty());
  test.sweeps[TileColor].glError = "GL_INVALID_ENUM";  // width 16, height none
  EXPECT_EQ(corvalis::testing::sectionGlErrors(test),
            (std::vector<std::string>{"Tiling:Color:Width: GL_INVALID_ENUM",
                                      "Tiling:Color:Height: GL_INVALID_ENUM"}));
  EXPECT_EQ(corvalis::testing::sectionTextLines(test), clean);
}

TEST_F(TilingReport, DataFilesCarryEachSweepInCrLfLines) {
  writeReport();
  const std::string combined = readBytes(base + ".tile_all.csv");
  EXPECT_EQ(combined, crlf(tileCsvText(test.sweeps[TileCombined])));
  EXPECT_EQ(combined.substr(0, combined.find("\r\n", 60) + 2),
            "width,aligned,offset,ratio,height,aligned,offset,ratio\r\n"
            "64,100.000000,101.000000,0.990099,64,200.000000,201.000000,0.995025\r\n");
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
  // A folder that does not exist: nothing is written, and each file says why.
  FileGroup missing;
  test.writeDataFiles(dir.file("missing/r").c_str(), missing);
  missing.commitAll();
  EXPECT_FALSE(fileExists(dir.file("missing")));
  for (const FileOutcome& outcome : missing.outcomes())
    EXPECT_NE(outcome.error.find("could not create " + dir.file("missing/r")), std::string::npos);
  EXPECT_EQ(missing.outcomes().size(), 4u);
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
  const std::string zeros = crlf(tileCsvText(TileSweep()));
  EXPECT_NE(zeros.find(",nan\r\n"), std::string::npos);
  for (const char* suffix : {".tile_all.csv", ".tile_c.csv", ".tile_z.csv", ".tile_s.csv"})
    EXPECT_EQ(readBytes(dir.file(std::string("r") + suffix)), zeros) << suffix;
}
