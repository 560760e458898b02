// The texture cache test: the size index geometry, the detection of the cache size from a
// sweep (single runs and rounds of repeats), and the report of the sizes found.

#include "measurements/texture_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "measurements/cache_detection.h"
#include "measurements/section_text_lines.h"

using namespace corvalis;
using namespace corvalis::testing;

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

// A test object holding the results of a run on a 1024 x 768 screen with S3TC but
// without paletted textures.
void fillResults(TextureCacheTest& test) {
  test.hasRun = true;
  test.failed = false;
  std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
  const int bits[CacheFormats] = {32, 4, 8, 8}, first[CacheFormats] = {0, 4, 4, 0};
  const float bytes[CacheFormats] = {16384.0f, 0.0f, 8192.0f, 0.0f};
  for (int f = 0; f < CacheFormats; ++f) {
    std::vector<float> rates;
    for (int n = first[f]; n <= 18; ++n) rates.push_back(1000.0f * (n + 1) + 0.5f);
    test.sweeps[f] = sweepOf(first[f], bits[f], rates);
    test.sweeps[f].measured = f != CachePaletted;
    test.cacheBytes[f] = bytes[f];
  }
}

// A texture cache sweep measured in 20 rounds, as the test takes them with repeats: round
// r visits the sizes forwards when r is even and backwards when odd, each visit lasting one
// time unit. A visit's rate is the size's true rate times the machine's speed at that
// moment (none: full speed) times a fixed, evenly spread wobble of +- 'wobble' of its own.
// The reported rates are the medians of the rounds, as the test stores them.
FormatSweep inRounds(const std::vector<float>& trueRates,
                     const std::function<double(int time)>& speed = nullptr, double wobble = 0.02) {
  FormatSweep out = sweepOf(0, 32, trueRates);
  const int sizes = static_cast<int>(trueRates.size());
  for (int time = 0; time < 20 * sizes; ++time) {
    const int size = time / sizes % 2 == 0 ? time % sizes : sizes - 1 - time % sizes;
    const double shake = wobble * (((time * 7919) % 41) / 20.0 - 1.0);
    out.samples[size].push_back(
        static_cast<float>(trueRates[size] * (speed ? speed(time) : 1.0) * (1.0 + shake)));
  }
  for (int size = 0; size < sizes; ++size) {
    std::vector<float> sorted = out.samples[size];
    std::sort(sorted.begin(), sorted.end());
    out.rates[size] = sorted[sorted.size() / 2];
  }
  return out;
}

// 19 RGBA sizes whose true rates come from a curve given in millions per second at
// some sizes (bytes) and flat between them.
std::vector<float> curve(const std::vector<std::pair<int, float>>& points) {
  std::vector<float> rates;
  size_t at = 0;
  for (int n = 0; n <= 18; ++n) {
    while (at + 1 < points.size() && (4 << n) >= points[at + 1].first) ++at;
    rates.push_back(points[at].second * 1.0e6f);
  }
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
  // DXT1 starts at index 4; rates outside the sweep do not count.
  const std::vector<float> down = stepDown(10, 2000.0f, 700.0f);
  FormatSweep dxt1 = sweepOf(4, 4, std::vector<float>(down.begin() + 4, down.end()));
  dxt1.rates[0] = 0.0f;
  dxt1.rates[1] = 1.0e12f;
  dxt1.rates[19] = 1.0f;
  EXPECT_EQ(detectCacheSize(dxt1), 512.0f);  // 2^10 texels at 4 bits
}

// A single run keeps the rule's size and calls it clear only where the fall at the next
// two sizes stands well beyond the curve's wiggle and no other step falls half as far.
TEST(JudgeCacheSize, ASingleSweepIsClearOnlyBeyondItsOwnWiggle) {
  std::vector<float> wiggle;  // +- 1 % around a fall to half after 16 KiB (index 12)
  for (int n = 0; n <= 18; ++n)
    wiggle.push_back((n <= 12 ? 1e8f : 0.5e8f) * (1.0f + 0.01f * ((n * 7) % 3 - 1)));
  std::vector<float> noisy = {1.0f, 1.06f, 0.97f, 1.04f, 0.95f, 1.03f, 0.98f, 1.05f, 0.96f, 1.02f,
                              0.97f, 1.04f, 0.99f, 1.03f, 0.94f, 0.97f, 0.93f, 0.95f, 0.92f};
  for (float& rate : noisy) rate *= 1e8f;
  std::vector<float> spike = stepDown(18, 1e8f, 1e8f);
  spike[11] = 1.6e8f;  // one size measured fast, then back to the level
  std::vector<float> spread = stepDown(12, 1e8f, 0.6e8f);
  spread[12] = 0.8e8f;  // the fall takes two sizes
  const struct {
    const char* what;
    std::vector<float> rates;
    float bytes;  // the rule's answer, kept
    Confidence confidence;
  } cases[] = {
      {"clean edge", stepDown(12, 1e8f, 0.5e8f), 16384.0f, Confidence::Clear},
      // The rule stops at an early wiggle that never comes back; the real edge is the
      // runner-up.
      {"edge behind a wiggle", wiggle, 8192.0f, Confidence::Uncertain},
      // llvmpipe-like: no cache, a curve that wanders by 5 % and sinks at the end.
      {"noisy curve", noisy, 32768.0f, Confidence::Uncertain},
      {"fall over two sizes", spread, 8192.0f, Confidence::Uncertain},
      {"spike up and back", spike, 8192.0f, Confidence::Uncertain},
      {"drop at the last size", stepDown(17, 1e8f, 0.5e8f), 524288.0f, Confidence::Uncertain},
      {"flat", stepDown(18, 1e8f, 1e8f), 0.0f, Confidence::None},
  };
  for (const auto& c : cases) {
    const FormatSweep sweep = sweepOf(0, 32, c.rates);
    EXPECT_EQ(detectCacheSize(sweep), c.bytes) << c.what;
    const Evidence evidence = judgeCacheSize(sweep, c.bytes, 0.0);
    EXPECT_EQ(evidence.confidence, c.confidence) << c.what;
    EXPECT_EQ(evidence.unit, "B") << c.what;
    ASSERT_TRUE(evidence.step.has_value()) << c.what;
    if (c.bytes > 0.0f) {
      EXPECT_EQ(evidence.step->position, c.bytes) << c.what;
    }
  }
  const Evidence behind = judgeCacheSize(sweepOf(0, 32, wiggle), 8192.0f, 0.0);
  ASSERT_TRUE(behind.runnerUp.has_value());
  EXPECT_EQ(behind.runnerUp->position, 16384.0);
  EXPECT_NEAR(behind.runnerUp->ratio, 0.5 / 0.99, 1e-3);
  // A clean fall by a quarter: clear alone, but not in a run whose other curve wiggled by
  // 5 %: the run's noise decides.
  const FormatSweep edge = sweepOf(0, 32, stepDown(12, 1e8f, 0.75e8f));
  EXPECT_EQ(judgeCacheSize(edge, 16384.0f, 0.0).confidence, Confidence::Clear);
  const FormatSweep noisyCurve = sweepOf(0, 32, noisy);
  const double runNoise = cacheCurveNoise(noisyCurve, detectCacheSize(noisyCurve));
  EXPECT_GT(runNoise, 0.05);
  EXPECT_EQ(judgeCacheSize(edge, 16384.0f, runNoise).confidence, Confidence::Uncertain);
  EXPECT_EQ(judgeCacheSize(edge, 16384.0f, runNoise).noise, runNoise);
}

// With repeats an edge must stand out of the curve's own noise, round by round, and stay
// down over two sizes; otherwise the answer is 0 and says whether anything came close.
TEST(DecideCacheSize, OnlyARealEdgeIsFound) {
  const std::vector<float> flat = curve({{4, 130.0f}}), edge = curve({{4, 200.0f}, {32768, 100.0f}});
  const struct {
    const char* what;
    FormatSweep sweep;
    float bytes;
    Confidence confidence;
  } cases[] = {
      // llvmpipe has no texel cache: flat within a few percent, every visit shaking by
      // up to 10 % (the 512x384 RGBA curve measured while other work ran).
      {"flat and noisy", inRounds(flat, nullptr, 0.10), 0.0f, Confidence::None},
      // Load that comes for a stretch of three rounds and goes.
      {"a burst that recovers", inRounds(flat, [](int t) { return t >= 60 && t < 117 ? 0.5 : 1.0; }),
       0.0f, Confidence::None},
      // Load that arrives while the 256 B size is measured and stays: taken in order it
      // read as an edge (32:147 64:151 128:141 256:67 512:63 ...); in rounds it falls on
      // every size alike.
      {"load that arrives and stays",
       inRounds(curve({{4, 147.0f}}), [](int t) { return t >= 6 ? 0.45 : 1.0; }), 0.0f, Confidence::None},
      // A lone low last point (65536:63.6 131072:79.7 262144:71.0 ended a real sweep).
      {"a lone last point", inRounds(curve({{4, 80.0f}, {1048576, 60.0f}})), 0.0f, Confidence::None},
      // A cache of 16 KiB: the rate halves after it and stays there.
      {"a clear edge", inRounds(edge), 16384.0f, Confidence::Clear},
      // The same edge under load that swings by half between rounds.
      {"a clear edge under load", inRounds(edge, [](int t) { return (t / 19) % 2 ? 0.55 : 1.0; }),
       16384.0f, Confidence::Clear},
      // An edge at 16 KiB followed by a second, shallower one at 256 KiB: the first
      // decides, as in the single-run rule.
      {"two levels", inRounds(curve({{4, 200.0f}, {32768, 100.0f}, {524288, 80.0f}})), 16384.0f,
       Confidence::Clear},
      // The fall spread over two neighbouring sizes, each about as deep: no one edge.
      {"two close candidates", inRounds(curve({{4, 200.0f}, {32768, 180.0f}, {65536, 160.0f}})),
       0.0f, Confidence::Uncertain},
      // A drop beyond the threshold whose rounds disagree: half of them see no drop.
      {"a marginal step", inRounds(curve({{4, 100.0f}, {32768, 90.0f}}), nullptr, 0.25), 0.0f,
       Confidence::Uncertain},
  };
  for (const auto& c : cases) {
    const CacheDecision decision = decideCacheSize(c.sweep);
    EXPECT_TRUE(decision.complete) << c.what;
    EXPECT_EQ(decision.bytes, c.bytes) << c.what;
    EXPECT_EQ(decision.evidence.confidence, c.confidence) << c.what;
    EXPECT_TRUE(decision.evidence.step.has_value()) << c.what;
    if (c.bytes > 0.0f) {
      EXPECT_EQ(decision.evidence.step->position, c.bytes) << c.what;
      EXPECT_LT(decision.evidence.step->high, 1.0) << c.what;
    }
  }
}

TEST(DecideCacheSize, APartialOrBrokenSweepDecidesNothing) {
  std::vector<float> edge = curve({{4, 200.0f}, {32768, 100.0f}});
  FormatSweep cut = inRounds(edge);
  cut.samples[18].pop_back();  // the last round stopped before the largest size
  EXPECT_FALSE(decideCacheSize(cut).complete);
  EXPECT_EQ(decideCacheSize(cut).bytes, 0.0f);
  FormatSweep zero = inRounds(edge);
  zero.samples[3][5] = 0.0f;  // a visit that timed nothing
  EXPECT_FALSE(decideCacheSize(zero).complete);
  EXPECT_FALSE(decideCacheSize(FormatSweep()).complete);
  // Implausible rates answer 0 as in the single-run rule, with no step found.
  edge[0] = 5.0f;
  EXPECT_EQ(decideCacheSize(inRounds(edge)).bytes, 0.0f);
}


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
    WrittenReport out;
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
  const std::vector<std::string> clean = sectionTextLines(test);
  test.sweeps[CacheRgba].glError = "GL_OUT_OF_MEMORY";
  test.sweeps[CacheDxt1].glError = "GL_INVALID_ENUM, GL_INVALID_VALUE";  // found nothing
  const SectionOutput touched = writeSectionOf(test);
  EXPECT_EQ(touched.glErrors,
            (std::vector<std::string>{"TexCache:RGBA: GL_OUT_OF_MEMORY",
                                      "TexCache:DXT1: GL_INVALID_ENUM, GL_INVALID_VALUE"}));
  EXPECT_EQ(touched.lines, clean);
}

using TextureCacheRun = FakeDisplayTest;

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
