// The tiling test: the strip patterns, the detection of the tile size from the offset
// to aligned ratios (single runs and paired slices of repeats), and the report.

#include "measurements/tiling.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "measurements/csv_data_file.h"
#include "measurements/section_text_lines.h"
#include "measurements/tile_detection.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

// Rates whose offset / aligned ratios are the given six values (blocks 64 to 2).
std::vector<float> ratesWithRatios(const std::vector<float>& ratios) {
  std::vector<float> rates(16, 0.0f);
  for (size_t k = 0; k < ratios.size(); ++k) {
    rates[2 * k] = 1000.0f;
    rates[2 * k + 1] = 1000.0f * ratios[k];
  }
  return rates;
}

// Paired slices of a sweep measured with repeats, blocks 64 to 2 (ratio 0: unmeasured):
// slice i of every block runs while the machine has speed load(i), the offset slice at
// the block's true ratio to the aligned one, each slice shaking by up to +- wobble.
using Slices = std::vector<std::vector<float>>;
Slices sliced(const std::vector<double>& ratios, double wobble = 0.05,
              const std::function<double(int)>& load = [](int i) { return i % 3 ? 1.0 : 0.5; }) {
  Slices out(TileSteps);
  for (size_t k = 0; k < ratios.size(); ++k) {
    for (int i = 0; i < 50 && ratios[k] != 0.0; ++i) {
      const double aligned = 1000.0 * load(i) * (1.0 + wobble * (((i * 37 + k) % 11) / 5.0 - 1.0));
      const double offset =
          1000.0 * load(i) * ratios[k] * (1.0 + wobble * (((i * 53 + 3 * k) % 13) / 6.0 - 1.0));
      out[2 * k].push_back(static_cast<float>(aligned));
      out[2 * k + 1].push_back(static_cast<float>(offset));
    }
  }
  return out;
}

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

TEST(StripPattern, StepsHalveTheBlockAlternateTheOffsetAndCoverHalfTheScreen) {
  // Block, offset, columns across 1024 pixels, bands across 768.
  const int table[TileSteps][4] = {{64, 0, 8, 6},    {64, 32, 8, 6},   {32, 0, 16, 12},
                                   {32, 16, 16, 12}, {16, 0, 32, 24},  {16, 8, 32, 24},
                                   {8, 0, 64, 48},   {8, 4, 64, 48},   {4, 0, 128, 96},
                                   {4, 2, 128, 96},  {2, 0, 256, 192}, {2, 1, 256, 192}};
  for (int step = 0; step < TileSteps; ++step) {
    EXPECT_EQ(std::vector<int>({blockSizeOfStep(step), stripOffsetOfStep(step),
                                stripCountOfStep(1024, step), stripCountOfStep(768, step)}),
              std::vector<int>(table[step], table[step] + 4))
        << step;
  }
}

TEST(StripPattern, ColumnStripsAndRowBandsSitOnTheirPixels) {
  // Columns at step 1: 64 pixels wide from column 32, every 128 columns, full height.
  // Rows at step 0: 64 pixels high from the top row, every 128 rows, full width.
  const struct {
    bool columns;
    int step, count, first;
    float across[4];  // the other coordinate of the four vertices
    int order[4];     // the quad's vertex order
  } cases[] = {{true, 1, 8, 32, {1, -1, 1, -1}, {0, 1, 3, 2}},
               {false, 0, 6, 0, {-1, 1, -1, 1}, {0, 2, 3, 1}}};
  const int capacity = stripQuadCapacity(1024, 768);
  ASSERT_EQ(capacity, 256);
  for (const auto& c : cases) {
    std::vector<float> vertices(capacity * 8, 5.0f);
    std::vector<uint16_t> indices(capacity * 4, 0);
    const int along = c.columns ? 0 : 1;  // the coordinate that places the strip
    const float pixel = c.columns ? 2.0f / 1024.0f : -2.0f / 768.0f;
    if (c.columns) setupColumnQuads(vertices.data(), indices.data(), 1024 / 4);
    else setupRowQuads(vertices.data(), indices.data(), 768 / 4);
    ASSERT_EQ(c.columns ? placeColumnStrips(vertices.data(), 1024, c.step, capacity)
                        : placeRowStrips(vertices.data(), 768, c.step, capacity),
              c.count);
    for (int i = 0; i < c.count; ++i) {
      const float start = (c.first + 128 * i) * pixel + (c.columns ? -1.0f : 1.0f);
      for (int k = 0; k < 4; ++k) {
        const float* v = &vertices[8 * i + 2 * k];
        EXPECT_FLOAT_EQ(v[along], start + (k < 2 ? 0 : 64) * pixel) << i << "/" << k;
        EXPECT_EQ(v[1 - along], c.across[k]) << i << "/" << k;
        EXPECT_EQ(indices[4 * i + k], 4 * i + c.order[k]) << i << "/" << k;
      }
    }
  }
  // The last 2-pixel strip ends inside the screen.
  std::vector<float> vertices(capacity * 8);
  ASSERT_EQ(placeColumnStrips(vertices.data(), 1024, 11, capacity), 256);
  EXPECT_LE(vertices[8 * 255 + 4], 1.0f);
}

TEST(StripPattern, SmallScreensDrawNoLargeStripsAndNeverOverrun) {
  // 100 pixels: no 64-pixel strip fits two blocks apart; 32-pixel ones do.
  EXPECT_EQ(stripCountOfStep(100, 0), 0);
  EXPECT_EQ(stripCountOfStep(100, 1), 0);
  EXPECT_EQ(stripCountOfStep(100, 2), 1);
  EXPECT_EQ(stripCountOfStep(0, 11), 0);
  std::vector<float> vertices(8, 5.0f);
  EXPECT_EQ(placeColumnStrips(vertices.data(), 100, 0, 25), 0);
  EXPECT_EQ(placeRowStrips(vertices.data(), 0, 11, 0), 0);
  EXPECT_EQ(vertices, std::vector<float>(8, 5.0f));
  // The arrays never address more than 16-bit indices can.
  EXPECT_EQ(stripQuadCapacity(100000, 16), 16384);
  EXPECT_EQ(stripQuadCapacity(0, 0), 0);
  std::vector<float> big(16384 * 8);
  EXPECT_EQ(placeColumnStrips(big.data(), 100000, 11, 16384), 16384);
}

TEST(DetectTileSize, TheDeepestDropWinsWhenItBeatsTheLastFind) {
  const struct {
    std::vector<float> ratios;
    int size;
  } cases[] = {
      // 0.99 is not below 0.985; 0.90 is (T = 0.8865); 0.95 and 0.89 are not below T.
      {{1.00f, 0.99f, 0.90f, 0.95f, 0.89f, 1.00f}, 16},
      // 0.97 gives 64 (T = 0.95545); 0.96 does not beat it.
      {{0.97f, 0.96f, 1.0f, 1.0f, 1.0f, 1.0f}, 64},
      // A smaller block more than 1.5 % below the find replaces it.
      {{0.97f, 0.95f, 1.0f, 1.0f, 1.0f, 1.0f}, 32},
      {{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.5f}, 2},
      {{1.0f, 0.985f, 0.99f, 1.2f, 1.0f, 0.986f}, 0},  // no drop
  };
  for (const auto& c : cases) EXPECT_EQ(detectTileSize(ratesWithRatios(c.ratios).data()), c.size);
  EXPECT_EQ(detectTileSize(std::vector<float>(16, 0.0f).data()), 0);
  // A screen too small for the large blocks leaves their rates at 0: no detection
  // from them, the measured blocks still count.
  std::vector<float> partial = ratesWithRatios({1.0f, 1.0f, 0.9f, 1.0f, 1.0f, 1.0f});
  partial[0] = partial[1] = 0.0f;
  EXPECT_EQ(detectTileSize(partial.data()), 16);
  partial[1] = 500.0f;  // an offset rate without an aligned one
  EXPECT_EQ(detectTileSize(partial.data()), 16);
}

TEST(CsvNumber, NonFiniteValuesReadTheSameEverywhere) {
  EXPECT_EQ(csvNumber(std::nan("")), "nan");
  EXPECT_EQ(csvNumber(-std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(csvNumber(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(csvNumber(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(csvNumber(1.5), "1.500000");
  EXPECT_EQ(csvNumber(123456792.0), "123456792.000000");
  EXPECT_TRUE(std::isnan(alignedToOffsetRatio(0.0f, 0.0f)));
  EXPECT_TRUE(std::isinf(alignedToOffsetRatio(3.0f, 0.0f)));
}

// With repeats a block counts only where its paired slices put it below 1 beyond their
// own noise, and the answer is clear only where no other block comes as deep.
TEST(DecideTileSize, TheDeepestBlockBeyondItsNoiseAndApartFromTheRest) {
  const std::vector<double> llvmpipe = {0.99, 1.0, 0.96, 1.0, 0.78, 1.08};
  const struct {
    const char* what;
    Slices samples;
    int block;
    Confidence confidence;
    double runnerUp;  // the runner-up's block, 0 for none
  } cases[] = {
      // llvmpipe: 4x4 shading blocks, offset strips 15 to 25 % slower there; the
      // 16-pixel blocks a few percent slower from its 16x16 rasteriser steps.
      {"llvmpipe", sliced(llvmpipe), 4, Confidence::Clear, 16},
      // The same under load that halves the machine's speed every third slice: the
      // pairs take the load together.
      {"llvmpipe under load", sliced(llvmpipe, 0.05, [](int i) { return 0.3 + (i % 7) / 7.0; }), 4,
       Confidence::Clear, 16},
      // Nothing below 0.985: none.
      {"flat", sliced({1.0, 0.995, 1.01, 1.0, 0.99, 1.05}), 0, Confidence::None, 0},
      // A 3 % dip whose slices scatter by 20 %: its interval reaches above 1.
      {"marginal", sliced({1.0, 1.0, 0.97, 1.0, 1.0, 1.0}, 0.2), 0, Confidence::Uncertain, 0},
      // Two blocks as deep as each other within their noise: which one is the tile?
      {"two close candidates", sliced({1.0, 0.85, 1.0, 1.0, 0.84, 1.0}, 0.1), 0,
       Confidence::Uncertain, 32},
      // A larger block found first keeps its place unless a smaller one beats it by
      // 1.5 %; a smaller one that does and stands apart wins clearly.
      {"deeper smaller block", sliced({0.97, 1.0, 1.0, 0.8, 1.0, 1.0}, 0.01), 8, Confidence::Clear, 64},
      // A screen too small for 64-pixel strips leaves that block unmeasured.
      {"small screen", sliced({0.0, 1.0, 1.0, 1.0, 0.8, 1.0}), 4, Confidence::Clear, 0},
  };
  for (const auto& c : cases) {
    const TileDecision decision = decideTileSize(c.samples.data());
    EXPECT_TRUE(decision.complete) << c.what;
    EXPECT_EQ(decision.blockSize, c.block) << c.what;
    EXPECT_EQ(decision.evidence.confidence, c.confidence) << c.what;
    ASSERT_TRUE(decision.evidence.step.has_value()) << c.what;
    if (c.block > 0) {
      EXPECT_EQ(decision.evidence.step->position, c.block) << c.what;
      EXPECT_LT(decision.evidence.step->high, 1.0) << c.what;
      EXPECT_LE(decision.evidence.step->low, decision.evidence.step->ratio) << c.what;
    }
    if (c.runnerUp > 0) {
      ASSERT_TRUE(decision.evidence.runnerUp.has_value()) << c.what;
      EXPECT_EQ(decision.evidence.runnerUp->position, c.runnerUp) << c.what;
    }
  }
}

TEST(DecideTileSize, SlicesThatDoNotPairUpDecideNothing) {
  const Slices llvmpipe = sliced({0.99, 1.0, 0.96, 1.0, 0.78, 1.08});
  Slices cut = llvmpipe;
  cut[9].pop_back();  // the offset pattern of 4-pixel blocks lost its last slice
  EXPECT_FALSE(decideTileSize(cut.data()).complete);
  EXPECT_EQ(decideTileSize(cut.data()).blockSize, 0);
  Slices stalled = llvmpipe;
  stalled[8][3] = 0.0f;
  EXPECT_FALSE(decideTileSize(stalled.data()).complete);
  const Slices single(TileSteps, std::vector<float>(1, 1.0f));
  EXPECT_FALSE(decideTileSize(single.data()).complete);
}

// A single run keeps the rule's answer and calls it clear only where its drop stands
// well beyond the wander of the other blocks' ratios and apart from the runner-up.
TEST(JudgeTileSize, ASingleSweepIsClearOnlyBeyondItsOwnNoise) {
  const struct {
    const char* what;
    std::vector<float> ratios;  // blocks 64 to 2
    int size;                   // the rule's answer, kept
    Confidence confidence;
  } cases[] = {
      {"llvmpipe's 4x4 blocks", {0.99f, 1.0f, 0.99f, 1.01f, 0.77f, 1.0f}, 4, Confidence::Clear},
      // Noise put 32 ahead of the real 4: the runner-up is as deep.
      {"wrong block won", {1.0f, 0.90f, 0.97f, 1.05f, 0.89f, 1.02f}, 32, Confidence::Uncertain},
      // A 20 % step among ratios that wander by 5 to 8 %.
      {"noisy sweep", {0.92f, 1.06f, 0.95f, 1.08f, 0.80f, 1.0f}, 4, Confidence::Uncertain},
      // Below 0.985, but not the 5 % a single sweep needs however quiet.
      {"marginal", {1.0f, 1.0f, 1.0f, 1.0f, 0.97f, 1.0f}, 4, Confidence::Uncertain},
      {"no step", {1.0f, 0.99f, 1.0f, 1.01f, 0.99f, 1.0f}, 0, Confidence::None},
      // The machine stalled while the offset strips of 64 were timed: no tile slows
      // them more than twice.
      {"stall", {0.04f, 0.99f, 1.0f, 1.01f, 1.0f, 1.0f}, 64, Confidence::Uncertain},
  };
  for (const auto& c : cases) {
    const std::vector<float> rates = ratesWithRatios(c.ratios);
    EXPECT_EQ(detectTileSize(rates.data()), c.size) << c.what;
    EXPECT_EQ(judgeTileSize(rates.data(), 0.0).confidence, c.confidence) << c.what;
    const Evidence evidence = judgeTileSize(rates.data(), tileSweepNoise(rates.data()));
    EXPECT_EQ(evidence.confidence, c.confidence) << c.what;
    EXPECT_EQ(evidence.unit, "px") << c.what;
    ASSERT_TRUE(evidence.step && evidence.runnerUp) << c.what;
    if (c.size > 0) {
      EXPECT_EQ(evidence.step->position, c.size) << c.what;
    }
    EXPECT_EQ(evidence.step->low, evidence.step->ratio) << c.what;
    EXPECT_LT(evidence.threshold, 0.96) << c.what;
  }
  // The runner-up of the wrong block is the real one.
  EXPECT_EQ(judgeTileSize(ratesWithRatios({1.0f, 0.90f, 0.97f, 1.05f, 0.89f, 1.02f}).data(), 0.0)
                .runnerUp->position,
            4);
  // A lone deep ratio in a quiet direction, while another direction of the run wandered by
  // 15 %: the run's noise decides, and it is uncertain.
  const std::vector<float> lone = ratesWithRatios({0.77f, 1.0f, 0.99f, 1.0f, 0.995f, 1.0f});
  const std::vector<float> shaken = ratesWithRatios({1.2f, 0.85f, 1.0f, 1.15f, 0.8f, 0.87f});
  EXPECT_EQ(judgeTileSize(lone.data(), 0.0).confidence, Confidence::Clear);
  const Evidence inNoisyRun = judgeTileSize(lone.data(), tileSweepNoise(shaken.data()));
  EXPECT_EQ(inNoisyRun.confidence, Confidence::Uncertain);
  EXPECT_NEAR(inNoisyRun.noise, 1.4826 * std::log(1.15), 1e-3);  // the median of the other five
  EXPECT_NEAR(inNoisyRun.threshold, std::exp(-4.0 * inNoisyRun.noise), 1e-9);
}

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
    WrittenReport out;
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
  const SectionOutput clean = writeSectionOf(test);
  EXPECT_TRUE(clean.glErrors.empty());
  test.sweeps[TileColor].glError = "GL_INVALID_ENUM";  // width 16, height none
  const SectionOutput touched = writeSectionOf(test);
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

using TilingRun = FakeDisplayTest;

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
