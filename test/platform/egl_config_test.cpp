#include "platform/egl/egl_config.h"

#include <gtest/gtest.h>

#include <vector>

#include "gl/pixel_format.h"

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

}  // namespace
}  // namespace platform
}  // namespace corvalis
