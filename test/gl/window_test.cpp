// The test window on the fake backend and the pixel format it chooses.

#include "gl/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gl/display_config.h"
#include "gl/pixel_format.h"
#include "platform/fake/fake_platform.h"

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

// A DisplayConfig of 640 x 480 on the fake backend.
class TestWindowFakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::install(&fake);
    config = new DisplayConfig(640, 480);
    displayConfig = config;
    fake.calls.clear();
  }
  void TearDown() override {
    displayConfig = nullptr;
    delete config;
    platform::install(nullptr);
    refreshRate = 0.0f;
  }

  std::string describe(const TestWindow& window) {
    char text[64];
    window.describeFormat(text, sizeof text);
    return text;
  }

  platform::FakePlatform fake;
  DisplayConfig* config = nullptr;
};

// A window takes the least acceptable format and gives back all it obtained, the
// context released from being current before it is deleted.
TEST_F(TestWindowFakeTest, ASuccessfulWindowGivesBackEverythingItObtained) {
  {
    TestWindow window(32, true, true);
    EXPECT_FALSE(window.initFailed) << window.errorText;
    EXPECT_EQ(fake.chosenFormat, 1);
    EXPECT_EQ(reportedWidth, 640u);
    EXPECT_EQ(reportedHeight, 480u);
  }
  const auto at = [this](const std::string& call) {
    return std::find(fake.calls.begin(), fake.calls.end(), call) - fake.calls.begin();
  };
  EXPECT_LT(at("makeCurrent null"), at("deleteContext"));
  EXPECT_EQ(fake.count("releaseDeviceContext"), 1);
  EXPECT_EQ(fake.liveWindows, 0);
  EXPECT_EQ(fake.liveContexts, 0);
}

// The display mode changes only when the colour depth does, never above maxBpp, and is
// restored once.
TEST_F(TestWindowFakeTest, ModeChangesOnlyWhenTheDepthChangesAndAboveMaxIsClamped) {
  { TestWindow window(48, false, false); }
  EXPECT_EQ(config->currentBpp, 32);
  EXPECT_TRUE(config->modeChanged);
  { TestWindow window(32, false, false); }
  { TestWindow window(16, false, false); }
  EXPECT_EQ(fake.count("setDisplayMode"), 2);
  EXPECT_EQ(fake.calls.front(), "setDisplayMode 640x480x32");
  EXPECT_EQ(fake.count("setDisplayMode 640x480x16"), 1);
  EXPECT_EQ(fake.chosenFormat, 3) << "16 bits without depth: R5G6B5 Z0";

  config->restoreDisplayMode();
  config->restoreDisplayMode();
  EXPECT_EQ(fake.count("restoreDisplayMode"), 1);
  EXPECT_EQ(config->currentBpp, 0);
  EXPECT_FALSE(config->modeChanged);
}

// Each failed step names itself, sets no format where none fits, and gives back only
// what was obtained: no device context released that was never had. The driver text
// says the initialisation failed, except for a window refused because the display went
// away: the driver measured the windows before it, and its text stays.
TEST_F(TestWindowFakeTest, EachFailedStepNamesItselfAndReleasesWhatWasObtained) {
  struct Case {
    const char* text;
    void (*script)(platform::FakePlatform&);
    int formatsSet;
    int deviceContextsReleased;
    const char* driver = "GL initialization failed ...";
  };
  const Case cases[] = {
      {"no window", [](platform::FakePlatform& f) { f.failWindow = true; }, 0, 0},
      {"no window", [](platform::FakePlatform& f) { f.failWindow = f.lostDisplay = true; }, 0, 0,
       "previous"},
      {"no device context", [](platform::FakePlatform& f) { f.failDeviceContext = true; }, 0, 0},
      {"no pixel format", [](platform::FakePlatform& f) { f.formats.clear(); }, 0, 1},
      {"no pixel format",  // R5G6B5 Z16 only: nothing fits a 32-bit window
       [](platform::FakePlatform& f) { f.formats = {f.standardFormats()[1]}; }, 0, 1},
      {"no pixel format", [](platform::FakePlatform& f) { f.failSetPixelFormat = true; }, 1, 1},
      {"no rendering context / 12291", [](platform::FakePlatform& f) { f.contextError = 0x3003; },
       1, 1},
      {"wglMakeCurrent failed", [](platform::FakePlatform& f) { f.failMakeCurrent = true; }, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    platform::FakePlatform scripted;
    c.script(scripted);
    platform::install(&scripted);
    std::snprintf(driverString, DriverStringSize, "previous");
    reportedWidth = 1;
    {
      TestWindow window(32, true, true);
      EXPECT_TRUE(window.initFailed);
      EXPECT_EQ(describe(window), c.text);
      EXPECT_STREQ(driverString, c.driver);
      EXPECT_EQ(reportedWidth, 1u) << "a failed window keeps the reported resolution";
      EXPECT_EQ(scripted.count("setPixelFormat"), c.formatsSet);
    }
    EXPECT_EQ(scripted.count("releaseDeviceContext"), c.deviceContextsReleased);
    EXPECT_EQ(scripted.liveWindows, 0);
    EXPECT_EQ(scripted.liveContexts, 0);
    platform::install(&fake);
  }
}

// The RAMDAC estimate at the refresh rate, or at 85 Hz when none was measured.
TEST_F(TestWindowFakeTest, RamdacRate) {
  TestWindow window(32, true, true);
  window.colorBytes = 1024 * 768 * 4;
  refreshRate = 0.0f;
  EXPECT_DOUBLE_EQ(window.ramdacBytesPerSecond(), 267386880.0);
  refreshRate = 60.0f;
  EXPECT_DOUBLE_EQ(window.ramdacBytesPerSecond(), 3145728.0 * 60.0);
}

}  // namespace
}  // namespace corvalis
