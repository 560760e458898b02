#include "measurements/readback.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "measurements/section_text_lines.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

// Rates by kind in measurement order; kind k of the whole screen is (k + 1) M, of the
// small region (k + 11) M, so that a value under the wrong label shows.
void setKnownResults(ReadbackTest& test) {
  for (int kind = 0; kind < ReadbackKindCount; ++kind) {
    test.wholeRate[kind] = (kind + 1) * 1e6;
    test.smallRate[kind] = (kind + 11) * 1e6;
  }
  std::snprintf(test.modeText, sizeof test.modeText, "R8G8B8A8 Z24 S8");
  test.failed = false;
  test.hasRun = true;
}

// A Readback test whose pixel buffer allocation is scripted.
class ScriptedBufferReadback : public ReadbackTest {
 public:
  bool refuse = false;
  size_t requested = 0;

 protected:
  std::unique_ptr<uint8_t[]> allocatePixelBuffer(size_t bytes) override {
    requested = bytes;
    if (refuse) return nullptr;
    return ReadbackTest::allocatePixelBuffer(bytes);
  }
};

}  // namespace

TEST(ReadbackReport, GroupsListStencilLastAndSummaryTakesTheFasterColourLayout) {
  ReadbackTest test;
  setKnownResults(test);
  EXPECT_EQ(sectionTextLines(test),
            withHeader({"Readback:Mode=R8G8B8A8 Z24 S8",
                        "Readback:Whole32:R8G8B8A8=1.000 M Pix/s", "Readback:Whole32:B8G8R8A8=2.000 M Pix/s",
                        "Readback:Whole32:R8G8B8=3.000 M Pix/s", "Readback:Whole32:B8G8R8=4.000 M Pix/s",
                        "Readback:Whole32:Zuint=6.000 M Pix/s", "Readback:Whole32:Zfloat=7.000 M Pix/s",
                        "Readback:Whole32:S8=5.000 M Pix/s",
                        "Readback:Small32:R8G8B8A8=11.000 M Pix/s", "Readback:Small32:B8G8R8A8=12.000 M Pix/s",
                        "Readback:Small32:R8G8B8=13.000 M Pix/s", "Readback:Small32:B8G8R8=14.000 M Pix/s",
                        "Readback:Small32:Zuint=16.000 M Pix/s", "Readback:Small32:Zfloat=17.000 M Pix/s",
                        "Readback:Small32:S8=15.000 M Pix/s"}));
  test.wholeRate[0] = 2.5e8;
  test.wholeRate[1] = 1.5e8;
  EXPECT_EQ(summaryOf(test), "250.000 MPix/s");
  test.wholeRate[1] = 3.5e8;
  EXPECT_EQ(summaryOf(test), "350.000 MPix/s");
}

TEST(ReadbackBuffer, HoldsTheLargestReadOfTheScreenAndOfTheSmallRegion) {
  // Four bytes per pixel: RGBA colour and float depth fill it exactly.
  EXPECT_EQ(readbackBufferBytes(1024, 768), 3145728u);
  // A screen smaller than 32 x 32 still takes the 32 x 32 read.
  EXPECT_EQ(readbackBufferBytes(8, 8), 32u * 32u * 4u);
  EXPECT_EQ(readbackBufferBytes(1, 2000), 2000u * 4u);
  // Sizes no window can have.
  EXPECT_EQ(readbackBufferBytes(0, 768), 0u);
  EXPECT_EQ(readbackBufferBytes(-800, -600), 0u);
  // The largest configurable size does not wrap around.
  EXPECT_GT(readbackBufferBytes(INT32_MAX, INT32_MAX), size_t{0xFFFFFFFF});
}

using ReadbackRun = FakeDisplayTest;

TEST_F(ReadbackRun, PixelBufferThatCannotBeAllocatedIsReportedNotReadInto) {
  ScriptedBufferReadback test;
  fake.failWindow = true;  // without a window no buffer is asked for
  test.run(RunContext());
  EXPECT_EQ(test.requested, 0u);
  fake.failWindow = false;
  test.refuse = true;
  test.run(RunContext());
  EXPECT_TRUE(test.failed);
  EXPECT_EQ(test.requested, 160u * 120u * 4u);
  EXPECT_EQ(sectionTextLines(test), withHeader({"Readback:Error=out of memory for the pixel buffer"}));
  EXPECT_EQ(summaryOf(test), "error");

  // The next run that gets its buffer measures again.
  test.refuse = false;
  test.run(RunContext());
  EXPECT_FALSE(test.failed);
  const std::vector<std::string> lines = sectionTextLines(test);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[1].rfind("Readback:Mode=", 0), 0u) << lines[1];
}

TEST(ReadbackOnMesa, ScreenSmallerThanTheRegionKeepsEveryReadInsideTheBuffer) {
  // An 8 x 8 screen still reads 32 x 32 pixels in the small-region pass; the driver
  // writes the rows of the whole region, so a buffer of the screen's size would overflow
  // (the sanitizer build catches that inside the driver's copy).
  NativeDisplay display(8, 8);
  display.config.swapSync = false;
  ScriptedBufferReadback test;
  test.run(RunContext());
  if (test.failed) GTEST_SKIP() << "no rendering on this machine: " << test.modeText;
  EXPECT_EQ(test.requested, 32u * 32u * 4u);
  for (int kind = 0; kind < ReadbackKindCount; ++kind) {
    EXPECT_GT(test.wholeRate[kind].value, 0.0) << readbackKinds[kind].label;
    EXPECT_GT(test.smallRate[kind].value, 0.0) << readbackKinds[kind].label;
  }
}
