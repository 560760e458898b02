#include "gl/pixel_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvalis {
namespace {

using platform::PixelFormatDescriptor;

constexpr uint32_t Accelerated =
    platform::PfdDrawToWindow | platform::PfdSupportOpenGl | platform::PfdDoubleBuffer;

PixelFormatDescriptor format(uint8_t color, uint8_t alpha, uint8_t depth, uint8_t stencil,
                             uint32_t flags = Accelerated) {
  PixelFormatDescriptor pfd;
  pfd.flags = flags;
  pfd.colorBits = color;
  pfd.alphaBits = alpha;
  pfd.depthBits = depth;
  pfd.stencilBits = stencil;
  return pfd;
}

TEST(PixelFormatFilter, ThirtyTwoBitsWithDepthAndStencil) {
  EXPECT_TRUE(acceptPixelFormat(format(24, 8, 24, 8), 32, true, true, 0));
  EXPECT_FALSE(acceptPixelFormat(format(24, 8, 32, 8), 32, true, true, 0)) << "depth+stencil > 32";
  EXPECT_FALSE(acceptPixelFormat(format(24, 0, 24, 8), 32, true, true, 0)) << "no alpha";
  EXPECT_FALSE(acceptPixelFormat(format(24, 8, 16, 8), 32, true, true, 0)) << "depth not above 16";
  EXPECT_FALSE(acceptPixelFormat(format(24, 8, 24, 0), 32, true, true, 0)) << "no stencil";
  EXPECT_FALSE(acceptPixelFormat(format(16, 8, 24, 8), 32, true, true, 0)) << "colour not above 16";
}

TEST(PixelFormatFilter, SixteenBitsWithDepthOnly) {
  EXPECT_TRUE(acceptPixelFormat(format(16, 0, 16, 0), 16, true, false, 0));
  EXPECT_FALSE(acceptPixelFormat(format(16, 0, 24, 0), 16, true, false, 0));
  EXPECT_FALSE(acceptPixelFormat(format(16, 0, 8, 0), 16, true, false, 0)) << "depth not above 8";
  EXPECT_FALSE(acceptPixelFormat(format(8, 0, 16, 0), 16, true, false, 0)) << "colour not above 8";
  EXPECT_FALSE(acceptPixelFormat(format(16, 0, 16, 8), 16, true, false, 0)) << "depth+stencil > 16";
}

TEST(PixelFormatFilter, RejectsSingleBufferedColourIndexOverlayAndSoftware) {
  PixelFormatDescriptor single = format(24, 8, 24, 8, Accelerated & ~platform::PfdDoubleBuffer);
  PixelFormatDescriptor noGl = format(24, 8, 24, 8, Accelerated & ~platform::PfdSupportOpenGl);
  PixelFormatDescriptor index = format(24, 8, 24, 8);
  index.pixelType = platform::PfdTypeColorIndex;
  PixelFormatDescriptor overlay = format(24, 8, 24, 8);
  overlay.layerType = 1;
  PixelFormatDescriptor software = format(24, 8, 24, 8, Accelerated | platform::PfdGenericFormat);
  for (const auto& pfd : {single, noGl, index, overlay, software}) {
    EXPECT_FALSE(acceptPixelFormat(pfd, 32, true, true, 0));
    EXPECT_EQ(choosePixelFormat({pfd}, 32, true, true, 0), 0);
  }
  // An accelerated generic format (an ICD's MCD) passes; other modes allow software.
  EXPECT_TRUE(acceptPixelFormat(
      format(24, 8, 24, 8, Accelerated | platform::PfdGenericFormat | platform::PfdGenericAccelerated),
      32, true, true, 0));
  EXPECT_TRUE(acceptPixelFormat(software, 32, true, true, 1));
}

TEST(PixelFormatChoice, TakesTheLeastAcceptableFormat) {
  const std::vector<PixelFormatDescriptor> formats = {
      format(24, 8, 24, 8, Accelerated | platform::PfdSupportGdi),  // 1: more flags
      format(24, 8, 24, 8),                                         // 2
      format(16, 0, 16, 0),                                         // 3
      format(16, 0, 0, 0),                                          // 4
      format(16, 0, 16, 0),                                         // 5: equal to 3
      format(24, 8, 0, 0),                                          // 6
  };
  EXPECT_EQ(choosePixelFormat(formats, 32, true, true, 0), 2);
  EXPECT_EQ(choosePixelFormat(formats, 16, true, false, 0), 3) << "lowest index among equals";
  EXPECT_EQ(choosePixelFormat(formats, 16, false, false, 0), 4) << "no depth sorts first";
  EXPECT_EQ(choosePixelFormat(formats, 32, false, false, 0), 6);
  EXPECT_EQ(choosePixelFormat({}, 32, false, false, 0), 0);
  // At 16 bits depth plus stencil above 16 is refused even when neither was asked for.
  EXPECT_EQ(choosePixelFormat({format(16, 0, 24, 8), format(16, 0, 16, 8)}, 16, false, false, 0), 0);
}

}  // namespace
}  // namespace corvalis
