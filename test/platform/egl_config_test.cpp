// The EGL backend's pure parts: which configs it offers as pixel formats, and the
// refresh rate from X11 mode timings and retrace counters.

#include "platform/egl/egl_config.h"

#include <gtest/gtest.h>

#include <vector>

#include "gl/pixel_format.h"
#include "platform/egl/x11_refresh.h"

namespace corvalis {
namespace platform {
namespace {

// An offered single-sampled RGB pbuffer config for desktop OpenGL.
EglConfigInfo config(int r, int g, int b, int a, int z, int s) {
  return {r + g + b + a, r, g, b, a, z, s, /*samples*/ 0, /*pbuffer*/ true, /*window*/ false,
          /*windowVisual*/ false, /*openGl*/ true};
}

// A slow (software) config is the same descriptor marked as an unaccelerated generic
// format, which the default pixel format choice turns down.
TEST(EglConfigMapping, DescriptorCountsColourWithoutAlphaAndMarksSlowConfigs) {
  EglConfigInfo info = config(8, 8, 8, 8, 24, 8);
  PixelFormatDescriptor pfd;
  ASSERT_TRUE(describeEglConfig(info, 32, &pfd));
  EXPECT_EQ(pfd.colorBits, 24);
  EXPECT_EQ(pfd.alphaBits, 8);
  EXPECT_EQ(pfd.depthBits, 24);
  EXPECT_EQ(pfd.stencilBits, 8);
  EXPECT_EQ(pfd.flags, PfdSupportOpenGl | PfdDoubleBuffer);
  info.slowCaveat = true;
  ASSERT_TRUE(describeEglConfig(info, 32, &pfd));
  EXPECT_TRUE(pfd.flags & PfdGenericFormat);
  EXPECT_FALSE(acceptPixelFormat(pfd, 32, true, true, 0));
}

// Only single-sampled RGB pbuffer configs for desktop OpenGL whose buffer size is the
// mode's depth are offered.
TEST(EglConfigMapping, ConfigsThatAreNotOffered) {
  struct Case {
    const char* what;
    EglConfigInfo info;
    int bpp;
  };
  Case cases[] = {{"other depth", config(8, 8, 8, 8, 24, 8), 16},
                  {"24-bit buffer", config(8, 8, 8, 0, 24, 8), 32},
                  {"multisampled", config(8, 8, 8, 8, 24, 8), 32},
                  {"float", config(16, 16, 16, 16, 0, 0), 64},
                  {"luminance", config(8, 8, 8, 8, 0, 0), 32},
                  {"OpenGL ES only", config(8, 8, 8, 8, 0, 0), 32},
                  {"window only", config(8, 8, 8, 8, 0, 0), 32}};
  cases[2].info.samples = 4;
  cases[3].info.floatComponents = true;
  cases[4].info.rgbBuffer = false;
  cases[5].info.openGl = false;
  cases[6].info.pbuffer = false;
  for (const Case& c : cases) EXPECT_FALSE(describeEglConfig(c.info, c.bpp, nullptr)) << c.what;
  EXPECT_TRUE(describeEglConfig(config(5, 6, 5, 0, 16, 0), 16, nullptr));
}

// An X window takes only the configs that can draw to a window in its own visual.
TEST(EglConfigMapping, WindowSurfacesNeedTheWindowsVisual) {
  EglConfigInfo info = config(8, 8, 8, 8, 24, 8);
  info.window = true;
  info.windowVisual = true;
  PixelFormatDescriptor pfd;
  ASSERT_TRUE(describeEglConfig(info, 32, &pfd, EglSurfaceKind::Window));
  EXPECT_EQ(pfd.flags, PfdSupportOpenGl | PfdDoubleBuffer);
  info.windowVisual = false;
  EXPECT_FALSE(describeEglConfig(info, 32, nullptr, EglSurfaceKind::Window)) << "other visual";
  EXPECT_TRUE(describeEglConfig(info, 32, nullptr, EglSurfaceKind::Pbuffer));
  info.windowVisual = true;
  info.window = false;
  EXPECT_FALSE(describeEglConfig(info, 32, nullptr, EglSurfaceKind::Window)) << "pbuffer only";
}

// Mesa's llvmpipe lists 10-10-10-2 configs before 8-8-8-8 ones in the same 32-bit
// mode; the choice must still come out as 8 bits per channel.
TEST(EglConfigMapping, TenBitConfigsLoseToEightBitOnes) {
  std::vector<PixelFormatDescriptor> formats;
  for (const EglConfigInfo& info : {config(10, 10, 10, 2, 0, 0), config(10, 10, 10, 2, 24, 8),
                                    config(8, 8, 8, 8, 0, 0), config(8, 8, 8, 8, 24, 8)}) {
    PixelFormatDescriptor pfd;
    ASSERT_TRUE(describeEglConfig(info, 32, &pfd));
    formats.push_back(pfd);
  }
  EXPECT_EQ(choosePixelFormat(formats, 32, true, true, 0), 4);
  EXPECT_EQ(choosePixelFormat(formats, 32, false, false, 0), 3);
}

TEST(X11Refresh, FromModeTiming) {
  struct Case {
    const char* what;
    ModeTiming mode;
    double hz;
  };
  const Case cases[] = {
      {"1920x1080 CEA", {148500000, 2200, 1125, false, false}, 60.0},
      {"1920x1080 reduced blanking", {138500000, 2080, 1111, false, false}, 59.934},
      {"1080i: a retrace per field", {74250000, 2200, 1125, true, false}, 60.0},
      {"320x240 double scan", {12587500, 400, 262, false, true}, 60.055},
      {"no dot clock (Xvfb)", {0, 0, 0, false, false}, 0.0},
      {"clock without totals", {25175000, 800, 0, false, false}, 0.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(refreshFromModeTiming(c.mode), c.hz, 0.001) << c.what;
}

TEST(X11Refresh, FromRetraceCounter) {
  EXPECT_NEAR(refreshFromMscSamples({100, 5000000}, {120, 5333340}), 59.9988, 0.0001);
  EXPECT_EQ(refreshFromMscSamples({100, 5000000}, {100, 5333340}), 0.0) << "counter stood";
  EXPECT_EQ(refreshFromMscSamples({100, 5000000}, {120, 5000000}), 0.0) << "clock stood";
  EXPECT_EQ(refreshFromMscSamples({120, 5000000}, {100, 5333340}), 0.0) << "counter went back";
}

}  // namespace
}  // namespace platform
}  // namespace corvalis
