#include "measurements/bandwidth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/sample_stats.h"
#include "framework/sync_method.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "measurements/section_text_lines.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

void setKnownResults(BandwidthTest& test) {
  test.allClear = 1e9;
  test.colorClear = 2e9;
  test.depthStencilClear = 3e9;
  test.depthClear = 4e9;
  test.stencilClear = 5e9;
  test.drawBandwidth = 6e9;
  test.ramdacBandwidth = 267386880.0;
  test.physicalBandwidth = 6267386880.0;
  test.hasDepth = true;
  test.hasStencil = true;
  std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
  test.failed = false;
  test.hasRun = true;
}

// The section with the given clear rows between the mode and the computed figures.
std::vector<std::string> expectedLines(std::vector<std::string> lines) {
  lines.insert(lines.begin(), "Bandwidth:Mode=R8G8B8A8 Z24 S8");
  for (const char* line : {"Bandwidth:Draw=6000.000 M B/s", "Bandwidth:BurnedByRAMDAC=267.387 M B/s",
                           "Bandwidth:Physical=6267.387 M B/s"})
    lines.push_back(line);
  return withHeader(lines);
}

}  // namespace

TEST(BandwidthReport, ClearRowsFollowTheBuffersTheWindowHas) {
  const std::string all = "Bandwidth:Clear:All=1000.000 M B/s",
                    color = "Bandwidth:Clear:Color=2000.000 M B/s",
                    both = "Bandwidth:Clear:ZAndStencil=3000.000 M B/s",
                    z = "Bandwidth:Clear:Z=4000.000 M B/s",
                    stencil = "Bandwidth:Clear:Stencil=5000.000 M B/s";
  const struct {
    bool depth, stencil;
    std::vector<std::string> clears;
  } cases[] = {{true, true, {all, color, both, z, stencil}},
               {true, false, {all, color, both, z}},
               {false, true, {all, color, both, stencil}},
               {false, false, {all, color}}};
  BandwidthTest test;
  setKnownResults(test);
  for (const auto& c : cases) {
    test.hasDepth = c.depth;
    test.hasStencil = c.stencil;
    EXPECT_EQ(sectionTextLines(test), expectedLines(c.clears)) << c.depth << c.stencil;
  }
  EXPECT_EQ(summaryOf(test), "6.267 GB/s");  // the physical estimate
}

TEST(BandwidthArithmetic, SeedWrapsAndDrawCountsReadAndWriteOfEveryBuffer) {
  EXPECT_EQ(nextColorSeed(0xFFFFFFFFu), 1360u);  // -7 + 1367, modulo 2^32
  // 1024 x 768 with R8G8B8A8 Z24 S8: 3 MiB colour, 2.25 MiB depth, 0.75 MiB stencil.
  EXPECT_EQ(drawBytesPerQuad(3145728, 2359296, 786432), 2.0 * 6291456.0);
}

using BandwidthRun = FakeDisplayTest;

TEST_F(BandwidthRun, ColorSequenceContinuesFromRunToRun) {
  // The fake draws nothing, so every draw measurement runs up to its quad cap.
  BandwidthTest test;
  for (int run = 0; run < 2; ++run) {
    const uint32_t before = test.colorSeed;
    test.run(RunContext());
    ASSERT_FALSE(test.failed);
    EXPECT_GT(test.drawQuads, 0);
    EXPECT_EQ(test.drawQuads % 256, 0);
    EXPECT_LE(test.drawQuads, 5120);
    uint32_t expected = before;
    for (int group = 0; group < test.drawQuads / 4; ++group) expected = nextColorSeed(expected);
    EXPECT_EQ(test.colorSeed, expected) << "run " << run;
  }
}

// With repeats each measured rate carries its repeats in its own unit (bytes per second,
// not clears per second), their median being the value; the computed figures carry none.
TEST(BandwidthOnMesa, RepeatsTravelWithEachValueInItsUnit) {
  NativeDisplay display(16, 16);
  BandwidthTest test;
  RunContext context;
  context.repeats = 2;
  test.run(context);
  ASSERT_FALSE(test.failed) << test.modeText;
  for (const Measured* measured : {&test.colorClear, &test.depthClear, &test.stencilClear,
                                   &test.depthStencilClear, &test.allClear, &test.drawBandwidth}) {
    ASSERT_EQ(measured->samples.size(), 2u);
    EXPECT_GT(measured->value, 0.0);
    EXPECT_DOUBLE_EQ(summarizeSamples(measured->samples).median, measured->value);
  }
  EXPECT_TRUE(test.ramdacBandwidth.samples.empty());
  EXPECT_TRUE(test.physicalBandwidth.samples.empty());
}

// The draw writes every buffer whatever masks the clear measured last left: rounds that
// turn about end on the colour clear (depth and stencil writes off) after an even count.
TEST(BandwidthOnMesa, TheDrawWritesEveryBufferAfterAnyClear) {
  NativeDisplay display(16, 16);
  TestWindow window(32, true, true);
  ASSERT_FALSE(window.initFailed);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glStencilMask(0);
  enterDrawState(window.syncMethod());
  GLboolean color[4] = {};
  GLboolean depth = GL_FALSE;
  GLint stencil = 0;
  glGetBooleanv(GL_COLOR_WRITEMASK, color);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depth);
  glGetIntegerv(GL_STENCIL_WRITEMASK, &stencil);
  EXPECT_TRUE(color[0] && color[1] && color[2] && color[3]);
  EXPECT_TRUE(depth);
  EXPECT_EQ(stencil & 0xFF, 0xFF);
}
