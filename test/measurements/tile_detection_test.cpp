#include "measurements/tile_detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "measurements/csv_data_file.h"

using namespace corvalis;

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

namespace {

// Paired slices of a sweep measured with repeats: slice i of every block runs while the
// machine has speed load(i), the offset slice at the block's true ratio to the aligned
// one, each slice shaking by up to +- wobble of its own.
struct SliceSimulation {
  std::vector<double> ratios;  // blocks 64 to 2; 0 leaves the block unmeasured
  double wobble = 0.05;
  std::function<double(int slice)> load = [](int slice) { return slice % 3 ? 1.0 : 0.5; };
  int slices = 50;

  std::vector<std::vector<float>> samples() const {
    std::vector<std::vector<float>> out(TileSteps);
    for (size_t k = 0; k < ratios.size(); ++k) {
      if (ratios[k] == 0.0) continue;
      for (int i = 0; i < slices; ++i) {
        const double aligned = 1000.0 * load(i) * (1.0 + wobble * (((i * 37 + k) % 11) / 5.0 - 1.0));
        const double offset =
            1000.0 * load(i) * ratios[k] * (1.0 + wobble * (((i * 53 + 3 * k) % 13) / 6.0 - 1.0));
        out[2 * k].push_back(static_cast<float>(aligned));
        out[2 * k + 1].push_back(static_cast<float>(offset));
      }
    }
    return out;
  }
};

TileDecision decide(const SliceSimulation& simulation) {
  const std::vector<std::vector<float>> samples = simulation.samples();
  return decideTileSize(samples.data());
}

}  // namespace

// With repeats a block counts only where its paired slices put it below 1 beyond their
// own noise, and the answer is clear only where no other block comes as deep.
TEST(DecideTileSize, TheDeepestBlockBeyondItsNoiseAndApartFromTheRest) {
  const struct {
    const char* what;
    SliceSimulation simulation;
    int block;
    Confidence confidence;
    double runnerUp;  // the runner-up's block, 0 for none
  } cases[] = {
      // llvmpipe: 4x4 shading blocks, offset strips 15 to 25 % slower there; the
      // 16-pixel blocks a few percent slower from its 16x16 rasteriser steps.
      {"llvmpipe", {{0.99, 1.0, 0.96, 1.0, 0.78, 1.08}}, 4, Confidence::Clear, 16},
      // The same under load that halves the machine's speed every third slice: the
      // pairs take the load together.
      {"llvmpipe under load",
       {{0.99, 1.0, 0.96, 1.0, 0.78, 1.08}, 0.05, [](int i) { return 0.3 + (i % 7) / 7.0; }},
       4, Confidence::Clear, 16},
      // Nothing below 0.985: none.
      {"flat", {{1.0, 0.995, 1.01, 1.0, 0.99, 1.05}}, 0, Confidence::None, 0},
      // A 3 % dip whose slices scatter by 20 %: its interval reaches above 1.
      {"marginal", {{1.0, 1.0, 0.97, 1.0, 1.0, 1.0}, 0.2}, 0, Confidence::Uncertain, 0},
      // Two blocks as deep as each other within their noise: which one is the tile?
      {"two close candidates", {{1.0, 0.85, 1.0, 1.0, 0.84, 1.0}, 0.1}, 0, Confidence::Uncertain,
       32},
      // A larger block found first keeps its place unless a smaller one beats it by
      // 1.5 %; a smaller one that does and stands apart wins clearly.
      {"deeper smaller block", {{0.97, 1.0, 1.0, 0.8, 1.0, 1.0}, 0.01}, 8, Confidence::Clear, 64},
      // A screen too small for 64-pixel strips leaves that block unmeasured.
      {"small screen", {{0.0, 1.0, 1.0, 1.0, 0.8, 1.0}}, 4, Confidence::Clear, 0},
  };
  for (const auto& c : cases) {
    const TileDecision decision = decide(c.simulation);
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
  SliceSimulation llvmpipe{{0.99, 1.0, 0.96, 1.0, 0.78, 1.08}};
  std::vector<std::vector<float>> cut = llvmpipe.samples();
  cut[9].pop_back();  // the offset pattern of 4-pixel blocks lost its last slice
  EXPECT_FALSE(decideTileSize(cut.data()).complete);
  EXPECT_EQ(decideTileSize(cut.data()).blockSize, 0);
  std::vector<std::vector<float>> stalled = llvmpipe.samples();
  stalled[8][3] = 0.0f;
  EXPECT_FALSE(decideTileSize(stalled.data()).complete);
  std::vector<std::vector<float>> single(TileSteps, std::vector<float>(1, 1.0f));
  EXPECT_FALSE(decideTileSize(single.data()).complete);
}
