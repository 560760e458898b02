// The EGL backend on the machine's real Mesa: windows, formats, contexts and what
// happens when the driver is missing. Tests that need another driver set Mesa's
// variables in a fresh child process, before EGL is first initialised.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/system_info.h"
#include "gl/display_config.h"
#include "gl/gl_caps.h"
#include "gl/refresh_rate.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "platform/platform.h"

namespace corvalis {
namespace {

std::string describe(const TestWindow& window) {
  char text[64];
  window.describeFormat(text, sizeof text);
  return text;
}

// A DisplayConfig of the given size on the native backend.
class EglWindowTest : public ::testing::Test {
 protected:
  void open(int width, int height) {
    config = std::make_unique<DisplayConfig>(width, height);
    displayConfig = config.get();
  }
  void TearDown() override {
    displayConfig = nullptr;
    config.reset();
  }
  std::unique_ptr<DisplayConfig> config;
};

TEST_F(EglWindowTest, LeastAcceptableFormatsOfMesa) {
  open(160, 120);
  struct Case {
    int bpp;
    bool depth, stencil;
    const char* expected;
  };
  const Case cases[] = {{32, true, true, "R8G8B8A8 Z24 S8"},
                        {16, true, false, "R5G6B5A0 Z16 S0"},
                        {16, false, false, "R5G6B5A0 Z0 S0"},
                        {32, false, false, "R8G8B8A8 Z0 S0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    TestWindow window(c.bpp, c.depth, c.stencil);
    ASSERT_FALSE(window.initFailed) << window.errorText << " on "
                                    << platform::current().backendDescription();
    // The software rasterisers the expected formats are written for.
    if (std::strncmp(driverString, "llvmpipe", 8) != 0 && std::strncmp(driverString, "softpipe", 8) != 0)
      GTEST_SKIP() << "formats checked on Mesa's software renderers only";
    EXPECT_EQ(describe(window), c.expected);
    EXPECT_EQ(window.colorBytes, 160 * 120 * (c.bpp == 32 ? 4 : 2));
    EXPECT_EQ(window.depthBytes, 160 * 120 * window.depthBits / 8);
  }
  EXPECT_EQ(config->currentBpp, 32);
}

TEST_F(EglWindowTest, ExtensionTableOfARealCompatibilityContext) {
  open(32, 32);
  for (int round = 0; round < 2; ++round) {
    TestWindow window(16, false, false);
    ASSERT_FALSE(window.initFailed) << window.errorText;
    const GlCaps& caps = window.caps;
    EXPECT_FALSE(caps.swapControl) << "a pbuffer has no swap interval";
    EXPECT_EQ(caps.wglGetExtensionsStringARB, nullptr);
    EXPECT_EQ(hasExtension(caps, "GL_ARB_multitexture"), caps.multitexture);
    if (caps.multitexture) {
      EXPECT_GT(caps.maxTextureUnits, 1);
    }
    EXPECT_TRUE(hasExtension(caps, "GL_ARB_vertex_buffer_object")) << "compatibility context";
    EXPECT_TRUE(caps.vertexBufferObject);
  }
}

TEST_F(EglWindowTest, SizeBeyondThePbufferLimitFailsCleanly) {
  open(100000, 100000);
  TestWindow window(32, true, true);
  EXPECT_TRUE(window.initFailed);
  EXPECT_EQ(describe(window), "no pixel format");
  EXPECT_STREQ(driverString, "GL initialization failed ...");
  // A failed window measures nothing and keeps the reported values.
  refreshRate = 75.0f;
  reportedWidth = 7;
  measureRefreshRate(window);
  recordDriverInfo(window);
  EXPECT_EQ(refreshRate, 75.0f);
  EXPECT_STREQ(driverString, "GL initialization failed ...");
  EXPECT_EQ(reportedWidth, 7u);
  refreshRate = 0.0f;
  open(0, 0);
  TestWindow empty(32, true, true);
  EXPECT_EQ(describe(empty), "no pixel format");
}

// Other drivers, each in a fresh child process: a 32-bit window with depth and stencil
// prints what it got and exits 0 when it works.
TEST(EglChildTest, OtherMesaDrivers) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char *variable, *value;
    int status;
    const char* output;
  } cases[] = {
      {"GALLIUM_DRIVER", "softpipe", 0, "format=R8G8B8A8 Z24 S8 driver=softpipe"},
      {"GALLIUM_DRIVER", "nonexistent", 1,
       "format=no window driver=GL initialization failed \\.\\.\\. backend=EGL unusable"},
      {"LIBGL_DRIVERS_PATH", "/nonexistent", 1, "format=no window .*backend=EGL unusable"}};
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          setenv(c.variable, c.value, 1);
          DisplayConfig config(64, 48);
          displayConfig = &config;
          TestWindow window(32, true, true);
          std::fprintf(stderr, "format=%s driver=%s backend=%s\n", describe(window).c_str(),
                       driverString, platform::current().backendDescription().c_str());
          std::fflush(stderr);
          std::_Exit(window.initFailed ? 1 : 0);
        },
        ::testing::ExitedWithCode(c.status), c.output)
        << c.value;
  }
}

}  // namespace
}  // namespace corvalis
