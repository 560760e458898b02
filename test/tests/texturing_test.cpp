#include "tests/texturing_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gl/display_config.h"
#include "platform/fake/fake_platform.h"
#include "tests/section_text_lines.h"
#include "tests/textured_quad.h"

using namespace corvalis;
using corvalis::testing::sectionTextLines;
using corvalis::testing::withHeader;

namespace {

void fillKnownResults(TexturingTest& test, int layers) {
  for (int i = 0; i < 8; ++i) {
    test.bilinearRate[i] = (i + 1) * 1e6;
    test.trilinearRate[i] = (i + 11) * 1e6;
  }
  test.layerCount = layers;
  std::snprintf(test.modeText, sizeof test.modeText, "R5G6B5A0 Z0 S0");
  test.failed = false;
  test.hasRun = true;
}

}  // namespace

TEST(TexturingReport, EightLayersGiveRowsOneToEightPerFilter) {
  TexturingTest test;
  fillKnownResults(test, 8);
  std::vector<std::string> expected = {"Texturing:Mode=R5G6B5A0 Z0 S0"};
  for (int i = 1; i <= 8; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "Texturing:Bilinear:%d=%d.000 M Pix/s", i, i);
    expected.push_back(line);
  }
  for (int i = 1; i <= 8; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "Texturing:Trilinear:%d=%d.000 M Pix/s", i, i + 10);
    expected.push_back(line);
  }
  EXPECT_EQ(sectionTextLines(test), withHeader(expected));
}

TEST(TexturingReport, SingleLayerGivesOneRowPerFilter) {
  TexturingTest test;
  fillKnownResults(test, 1);
  EXPECT_EQ(sectionTextLines(test), withHeader({
                                        "Texturing:Mode=R5G6B5A0 Z0 S0",
                                        "Texturing:Bilinear:1=1.000 M Pix/s",
                                        "Texturing:Trilinear:1=11.000 M Pix/s",
                                    }));
}

TEST(TexturingReport, FailedRunAndSummary) {
  TexturingTest test;
  fillKnownResults(test, 4);
  test.bilinearRate[0] = 2.5e9;
  char buffer[SummarySize] = {};
  test.getSummary(buffer);
  EXPECT_STREQ(buffer, "2.500 GTex/s");

  test.failed = true;
  std::snprintf(test.modeText, sizeof test.modeText, "no window");
  EXPECT_EQ(sectionTextLines(test), withHeader({"Texturing:Error=no window"}));
  test.getSummary(buffer);
  EXPECT_STREQ(buffer, "error");
}

TEST(TexturedQuad, LayerCountIsTheUnitsCappedAtEight) {
  GlCaps caps;  // no multitexture: one unit
  EXPECT_EQ(texturingLayerCount(caps), 1);
  EXPECT_FALSE(usesMultiTexCoords(caps, 1));
  caps.multitexture = true;
  caps.maxTextureUnits = 4;
  EXPECT_EQ(texturingLayerCount(caps), 4);
  EXPECT_FALSE(usesMultiTexCoords(caps, 1));  // one layer: plain coordinates
  EXPECT_TRUE(usesMultiTexCoords(caps, 2));
  caps.maxTextureUnits = 16;
  EXPECT_EQ(texturingLayerCount(caps), 8);
  caps.maxTextureUnits = 0;  // a broken driver answer still measures one layer
  EXPECT_EQ(texturingLayerCount(caps), 1);
}

TEST(TexturedQuad, TexelsAreProductsOfTwoGeneratorResults) {
  Lcg random(1);
  std::vector<uint16_t> texels(TestTexelCount);
  fillTestTexels(random, texels.data(), TestTexelCount);
  // The generator from 1 yields 41, 18467, 6334, 26500, ...
  EXPECT_EQ(texels[0], static_cast<uint16_t>(41 * 18467));
  EXPECT_EQ(texels[1], static_cast<uint16_t>(6334 * 26500));
  // Two results per texel, and the generator goes on from where it stands.
  Lcg reference(1);
  for (int i = 0; i < 2 * TestTexelCount; ++i) reference.next();
  EXPECT_EQ(random.state(), reference.state());
  std::vector<uint16_t> next(TestTexelCount);
  fillTestTexels(random, next.data(), TestTexelCount);
  EXPECT_NE(next, texels);
}

TEST(TexturedQuad, CornersCoverTheWindowInPerspective) {
  const auto corners = perspectiveQuadCorners(1024, 768);
  const float window[4][2] = {{-1, 1}, {-1, -1}, {1, -1}, {1, 1}};
  for (int i = 0; i < 4; ++i) {
    const QuadCorner& c = corners[i];
    EXPECT_FLOAT_EQ(c.vertex[0] / c.vertex[3], window[i][0]) << i;
    EXPECT_FLOAT_EQ(c.vertex[1] / c.vertex[3], window[i][1]) << i;
    EXPECT_EQ(c.vertex[2], 0.0f);
    // S = width / 128, T = height / 128, scaled with the corner's w.
    EXPECT_FLOAT_EQ(c.texCoord[0], window[i][0] * c.vertex[3] * 8.0f) << i;
    EXPECT_FLOAT_EQ(c.texCoord[1], -window[i][1] * c.vertex[3] * 6.0f) << i;
  }
  EXPECT_EQ(corners[0].vertex[3], 2.0f * corners[1].vertex[3]);  // top twice as far
  EXPECT_FLOAT_EQ(perspectiveQuadCorners(160, 120)[3].texCoord[0], 32.0f * 1.25f);
}

TEST(TexturingRun, ContextThatFailsGivesOneErrorItemAndDrawsNoTexels) {
  platform::FakePlatform fake;
  fake.contextError = 0x3003;
  platform::install(&fake);
  DisplayConfig config(160, 120);
  displayConfig = &config;
  const uint32_t generatorState = sharedRandom().state();

  TexturingTest test;
  test.run();

  displayConfig = nullptr;
  platform::install(nullptr);
  EXPECT_TRUE(test.hasRun);
  EXPECT_TRUE(test.failed);
  EXPECT_STREQ(test.modeText, "no rendering context / 12291");
  EXPECT_EQ(sharedRandom().state(), generatorState);
  EXPECT_EQ(sectionTextLines(test), withHeader({"Texturing:Error=no rendering context / 12291"}));
  char buffer[SummarySize] = {};
  test.getSummary(buffer);
  EXPECT_STREQ(buffer, "error");
}
