#include "tests/tile_detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/csv_data_file.h"

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

TEST(StripPattern, StepsHalveTheBlockAndAlternateAlignedAndOffset) {
  const int blocks[TileSteps] = {64, 64, 32, 32, 16, 16, 8, 8, 4, 4, 2, 2};
  const int offsets[TileSteps] = {0, 32, 0, 16, 0, 8, 0, 4, 0, 2, 0, 1};
  for (int step = 0; step < TileSteps; ++step) {
    EXPECT_EQ(blockSizeOfStep(step), blocks[step]) << step;
    EXPECT_EQ(stripOffsetOfStep(step), offsets[step]) << step;
  }
}

TEST(StripPattern, CountsAt1024x768) {
  const int columns[TileSteps] = {8, 8, 16, 16, 32, 32, 64, 64, 128, 128, 256, 256};
  const int rows[TileSteps] = {6, 6, 12, 12, 24, 24, 48, 48, 96, 96, 192, 192};
  for (int step = 0; step < TileSteps; ++step) {
    EXPECT_EQ(stripCountOfStep(1024, step), columns[step]) << step;
    EXPECT_EQ(stripCountOfStep(768, step), rows[step]) << step;
    // Every pattern covers half the screen.
    EXPECT_EQ(stripCountOfStep(1024, step) * blockSizeOfStep(step), 512) << step;
  }
}

TEST(StripPattern, ColumnStripsSitOnTheirPixelColumns) {
  const int capacity = stripQuadCapacity(1024, 768);
  ASSERT_EQ(capacity, 256);
  std::vector<float> vertices(capacity * 8, 5.0f);
  std::vector<uint16_t> indices(capacity * 4, 0);
  setupColumnQuads(vertices.data(), indices.data(), 1024 / 4);
  // Step 1: 64-pixel strips from column 32, every 128 columns.
  ASSERT_EQ(placeColumnStrips(vertices.data(), 1024, 1, capacity), 8);
  const float px = 2.0f / 1024.0f;
  for (int i = 0; i < 8; ++i) {
    const float x0 = (32 + 128 * i) * px - 1.0f;
    const float* v = &vertices[8 * i];
    EXPECT_FLOAT_EQ(v[0], x0);
    EXPECT_FLOAT_EQ(v[2], x0);
    EXPECT_FLOAT_EQ(v[4], x0 + 64 * px);
    EXPECT_FLOAT_EQ(v[6], x0 + 64 * px);
    // Full height, drawn as a quad through vertices 0, 1, 3, 2.
    EXPECT_EQ(std::vector<float>({v[1], v[3], v[5], v[7]}), std::vector<float>({1, -1, 1, -1}));
    EXPECT_EQ(std::vector<int>(indices.begin() + 4 * i, indices.begin() + 4 * i + 4),
              std::vector<int>({4 * i, 4 * i + 1, 4 * i + 3, 4 * i + 2}));
  }
  // The last 2-pixel strip ends inside the screen.
  ASSERT_EQ(placeColumnStrips(vertices.data(), 1024, 11, capacity), 256);
  EXPECT_LE(vertices[8 * 255 + 4], 1.0f);
}

TEST(StripPattern, RowBandsCountFromTheTop) {
  const int capacity = stripQuadCapacity(1024, 768);
  std::vector<float> vertices(capacity * 8, 5.0f);
  std::vector<uint16_t> indices(capacity * 4, 0);
  setupRowQuads(vertices.data(), indices.data(), 768 / 4);
  ASSERT_EQ(placeRowStrips(vertices.data(), 768, 0, capacity), 6);
  const float py = -2.0f / 768.0f;
  for (int i = 0; i < 6; ++i) {
    const float y0 = (128 * i) * py + 1.0f;
    const float* v = &vertices[8 * i];
    EXPECT_FLOAT_EQ(v[1], y0);
    EXPECT_FLOAT_EQ(v[3], y0);
    EXPECT_FLOAT_EQ(v[5], y0 + 64 * py);
    EXPECT_FLOAT_EQ(v[7], y0 + 64 * py);
    EXPECT_EQ(std::vector<float>({v[0], v[2], v[4], v[6]}), std::vector<float>({-1, 1, -1, 1}));
    EXPECT_EQ(std::vector<int>(indices.begin() + 4 * i, indices.begin() + 4 * i + 4),
              std::vector<int>({4 * i, 4 * i + 2, 4 * i + 3, 4 * i + 1}));
  }
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
  // 0.99 is not below 0.985; 0.90 is (T = 0.8865); 0.95 and 0.89 are not below T.
  EXPECT_EQ(detectTileSize(ratesWithRatios({1.00f, 0.99f, 0.90f, 0.95f, 0.89f, 1.00f}).data()), 16);
  // 0.97 gives 64 (T = 0.95545); 0.96 does not beat it.
  EXPECT_EQ(detectTileSize(ratesWithRatios({0.97f, 0.96f, 1.0f, 1.0f, 1.0f, 1.0f}).data()), 64);
  // A smaller block more than 1.5 % below the find replaces it.
  EXPECT_EQ(detectTileSize(ratesWithRatios({0.97f, 0.95f, 1.0f, 1.0f, 1.0f, 1.0f}).data()), 32);
  EXPECT_EQ(detectTileSize(ratesWithRatios({1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.5f}).data()), 2);
}

TEST(DetectTileSize, NoDropOrNoRatesGiveNone) {
  EXPECT_EQ(detectTileSize(ratesWithRatios({1.0f, 0.985f, 0.99f, 1.2f, 1.0f, 0.986f}).data()), 0);
  const std::vector<float> zeros(16, 0.0f);
  EXPECT_EQ(detectTileSize(zeros.data()), 0);
  // A screen too small for the large blocks leaves their rates at 0: no detection
  // from them, the measured blocks still count.
  std::vector<float> partial = ratesWithRatios({1.0f, 1.0f, 0.9f, 1.0f, 1.0f, 1.0f});
  partial[0] = partial[1] = 0.0f;
  EXPECT_EQ(detectTileSize(partial.data()), 16);
  partial[1] = 500.0f;  // an offset rate without an aligned one
  EXPECT_EQ(detectTileSize(partial.data()), 16);
}

TEST(TileCsv, UnmeasuredSweepHoldsZerosAndNanRatios) {
  const std::string text = tileCsvText(TileSweep());
  std::string expected = "width,aligned,offset,ratio,height,aligned,offset,ratio\n";
  for (int block = 64; block >= 2; block /= 2) {
    expected += std::to_string(block) + ",0.000000,0.000000,nan," + std::to_string(block) +
                ",0.000000,0.000000,nan\n";
  }
  EXPECT_EQ(text, expected);
}

TEST(TileCsv, RowsShowAlignedOverOffset) {
  TileSweep sweep;
  sweep.xRates[0] = 1000.0f;
  sweep.xRates[1] = 500.0f;
  sweep.yRates[10] = 123.5f;
  sweep.yRates[11] = 247.0f;
  const std::string text = tileCsvText(sweep);
  EXPECT_NE(text.find("\n64,1000.000000,500.000000,2.000000,64,0.000000,0.000000,nan\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n2,0.000000,0.000000,nan,2,123.500000,247.000000,0.500000\n"),
            std::string::npos)
      << text;
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

TEST(DataFileName, LongNamesAreRefused) {
  const std::string base(MaxDataFileName - 9, 'b');
  EXPECT_EQ(dataFileName(base.c_str(), ".rgba.csv"), base + ".rgba.csv");
  EXPECT_EQ(dataFileName((base + "b").c_str(), ".rgba.csv"), "");
  EXPECT_EQ(dataFileName(nullptr, ".rgba.csv"), "");
  EXPECT_EQ(dataFileName("results", ".tile_c.csv"), "results.tile_c.csv");
}
