#include "measurements/cache_detection.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvalis;

namespace {

// A sweep over firstIndex..lastIndex whose rates come from the list, in order.
FormatSweep sweepOf(int firstIndex, int bitsPerTexel, const std::vector<float>& rates) {
  FormatSweep sweep;
  sweep.firstIndex = firstIndex;
  sweep.lastIndex = firstIndex + static_cast<int>(rates.size()) - 1;
  sweep.bitsPerTexel = bitsPerTexel;
  for (size_t i = 0; i < rates.size(); ++i) sweep.rates[firstIndex + i] = rates[i];
  return sweep;
}

// 19 RGBA rates (indices 0..18) at 'high' up to 'lastFast', 'low' after it.
std::vector<float> stepDown(int lastFast, float high, float low) {
  std::vector<float> rates;
  for (int n = 0; n <= 18; ++n) rates.push_back(n <= lastFast ? high : low);
  return rates;
}

}  // namespace

TEST(SizeIndexGeometry, EvenIndicesReadSquareAndOddIndicesWideLevels) {
  // Every index reads exactly 2^n texels from a level at most twice as wide as high.
  for (int n = 0; n < MaxSizeIndices; ++n) {
    const MipRegion region = mipRegionOf(n);
    EXPECT_EQ(region.a + region.b, n) << n;
    EXPECT_EQ(region.a - region.b, n % 2) << n;
  }
}

TEST(SizeIndexGeometry, WorkingSetBytesFollowTheTexelCost) {
  EXPECT_EQ(workingSetBytes(0, 32), 4.0);         // one RGBA texel
  EXPECT_EQ(workingSetBytes(18, 32), 1048576.0);  // the last RGBA row at S = 512
  EXPECT_EQ(workingSetBytes(4, 4), 8.0);          // first DXT1 row: 16 texels
  EXPECT_EQ(workingSetBytes(4, 8), 16.0);         // first DXT5 row
  EXPECT_EQ(workingSetBytes(12, 32), 16384.0);
}

TEST(SizeIndexGeometry, LargestTextureStaysBelowTheScreen) {
  const struct {
    int glMax, width, height, log2;
  } cases[] = {{2048, 1024, 768, 9},     // 767 -> S 512, last index 18
               {2048, 1600, 1200, 10},   // S 1024, last index 20
               {16384, 4000, 3000, 11},  // the GL's maximum is clamped to 2048 first
               {256, 1024, 768, 8},      // a GL maximum below the screen decides
               {1024, 1024, 1024, 9},    // exactly the screen size is one short
               {2048, 160, 120, 6},
               {2048, 2, 2, 0},          // tiny screens or a broken GL answer: one
               {0, 1024, 768, 0}};       // texel, never a negative L
  for (const auto& c : cases)
    EXPECT_EQ(largestTextureLog2(c.glMax, c.width, c.height), c.log2)
        << c.glMax << " " << c.width << "x" << c.height;
}

TEST(SizeIndexGeometry, TexCoordsReadJustUnderOneTexelPerPixel) {
  std::vector<float> vertices(16 * QuadVertexFloats, 7.0f);
  setQuadTexCoords(vertices.data(), 9, 8, 1024, 768);
  const float su = 1024.0f / 512.0f * 0.975f;
  const float tv = 768.0f / 256.0f * 0.975f;
  const float offsets[4][2] = {{0.0f, 0.0f}, {-0.5f, 0.25f}, {0.25f, -0.5f}, {-0.75f, 0.75f}};
  for (int quad = 0; quad < 4; ++quad) {
    const float s0 = offsets[quad][0], t0 = offsets[quad][1];
    const float expected[4][2] = {{s0, t0}, {s0, t0 + tv}, {s0 + su, t0 + tv}, {s0 + su, t0}};
    for (int corner = 0; corner < 4; ++corner) {
      const float* v = &vertices[(4 * quad + corner) * QuadVertexFloats];
      EXPECT_FLOAT_EQ(v[3], expected[corner][0]) << quad << "/" << corner;
      EXPECT_FLOAT_EQ(v[4], expected[corner][1]) << quad << "/" << corner;
      EXPECT_EQ(v[0] + v[1] + v[2], 21.0f);  // positions are left alone
    }
  }
}

TEST(DetectCacheSize, TheSizeBeforeALastingDropInAPlausibleRange) {
  std::vector<float> dip = stepDown(14, 1000.0f, 300.0f);
  dip[6] = 500.0f;             // a dip at 6 ...
  dip[7] = dip[8] = 600.0f;
  dip[9] = 990.0f;             // ... made up for at 9 (at least 98.75 % of the rate before it)
  std::vector<float> shortRecovery = stepDown(14, 1000.0f, 300.0f);
  shortRecovery[6] = 500.0f;
  for (int n = 7; n <= 14; ++n) shortRecovery[n] = 987.0f;  // below 98.75 % of 1000
  std::vector<float> rising;
  for (int n = 0; n <= 18; ++n) rising.push_back(1000.0f + n);
  const struct {
    std::vector<float> rates;
    float bytes;
  } cases[] = {
      {stepDown(12, 1.0e9f, 4.0e8f), 16384.0f},  // down from 13 on: 2^12 RGBA texels
      {stepDown(5, 1000.0f, 980.0f), 128.0f},    // a drop of 2 % is enough when it lasts
      {dip, 65536.0f},                           // index 14
      {shortRecovery, 128.0f},                   // index 5
      {rising, 0.0f},
      {std::vector<float>(19, 5.0e8f), 0.0f},
      // Implausible: slowest not above 10 fetches per second, or fastest 200 times the
      // slowest or more; just under that a drop is found.
      {stepDown(9, 1000.0f, 10.0f), 0.0f},
      {stepDown(9, 1000.0f, 0.0f), 0.0f},
      {stepDown(9, 200000.0f, 1000.0f), 0.0f},
      {stepDown(9, 199000.0f, 1000.0f), 2048.0f},
  };
  for (const auto& c : cases) EXPECT_EQ(detectCacheSize(sweepOf(0, 32, c.rates)), c.bytes) << &c - cases;
  EXPECT_EQ(detectCacheSize(FormatSweep()), 0.0f);  // a run that measured nothing
}

TEST(DetectCacheSize, OnlyTheSweptRangeCounts) {
  // DXT1 starts at index 4; rates below it are not part of the sweep.
  std::vector<float> rates;
  for (int n = 4; n <= 18; ++n) rates.push_back(n <= 10 ? 2000.0f : 700.0f);
  FormatSweep sweep = sweepOf(4, 4, rates);
  sweep.rates[0] = 0.0f;
  sweep.rates[1] = 1.0e12f;
  sweep.rates[19] = 1.0f;
  EXPECT_EQ(detectCacheSize(sweep), 512.0f);  // 2^10 texels at 4 bits
}

namespace {

// Five samples per size spread around the given medians by the given fractions.
FormatSweep sampledSweep(const std::vector<float>& medians, const std::vector<float>& spread) {
  FormatSweep sweep = sweepOf(0, 32, medians);
  for (size_t n = 0; n < medians.size(); ++n)
    for (float fraction : spread) sweep.samples[n].push_back(medians[n] * (1.0f + fraction));
  return sweep;
}

}  // namespace

// With repeats an edge needs samples that separate; a flat, noisy sweep answers 0.
TEST(DetectCacheSizeSeparated, CountsOnlyDropsTheSamplesBearOut) {
  const std::vector<float> tight = {-0.03f, -0.01f, 0.0f, 0.01f, 0.03f};
  // The measured case on llvmpipe at 512x384: 17 RGBA sizes within a few percent, with
  // a 2 % dip at 8 KiB that stays; noise of +-6 % per size.
  std::vector<float> flat(17, 1.0e9f);
  for (size_t n = 11; n < flat.size(); ++n) flat[n] = 0.98e9f;
  const FormatSweep noisy = sampledSweep(flat, {-0.06f, -0.03f, 0.0f, 0.03f, 0.06f});
  EXPECT_EQ(detectCacheSize(noisy), 4096.0f);  // the single-run rule takes the dip
  EXPECT_EQ(detectCacheSizeSeparated(noisy), 0.0f);

  // A clear step after 16 KiB (index 12), the samples far apart.
  EXPECT_EQ(detectCacheSizeSeparated(sampledSweep(stepDown(12, 1.0e9f, 0.5e9f), tight)),
            16384.0f);

  // A 10 % drop whose samples overlap the size before it: no edge.
  FormatSweep overlapping = sampledSweep(stepDown(12, 1.0e9f, 0.9e9f), tight);
  overlapping.samples[15][4] = 0.975e9f;  // above the lowest sample of index 12
  EXPECT_EQ(detectCacheSize(overlapping), 16384.0f);
  EXPECT_EQ(detectCacheSizeSeparated(overlapping), 0.0f);

  // One measurement per size: the single-run rule unchanged.
  const FormatSweep single = sweepOf(0, 32, flat);
  EXPECT_EQ(detectCacheSizeSeparated(single), detectCacheSize(single));
}
