#include "measurements/texturing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "measurements/section_text_lines.h"
#include "measurements/textured_quad.h"

using namespace corvalis;
using namespace corvalis::testing;

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

// Rows 1 to N per filter; the summary is the single-layer bilinear rate.
TEST(TexturingReport, EveryLayerCountGivesRowsOneToNPerFilter) {
  for (int layers : {1, 8}) {
    TexturingTest test;
    fillKnownResults(test, layers);
    std::vector<std::string> expected = {"Texturing:Mode=R5G6B5A0 Z0 S0"};
    for (const char* filter : {"Bilinear", "Trilinear"}) {
      for (int i = 1; i <= layers; ++i) {
        const int millions = filter[0] == 'B' ? i : i + 10;
        expected.push_back(std::string("Texturing:") + filter + ":" + std::to_string(i) + "=" +
                           std::to_string(millions) + ".000 M Pix/s");
      }
    }
    EXPECT_EQ(sectionTextLines(test), withHeader(expected)) << layers;
    test.bilinearRate[0] = 2.5e9;
    EXPECT_EQ(summaryOf(test), "2.500 GTex/s") << layers;
  }
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
  // Two results per texel, drawn on the generator as it stands: the quad test on the
  // driver (geometry_test.cpp) checks the shared generator's state after a build.
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
