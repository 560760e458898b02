#include "measurements/fillrate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/format.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "measurements/section_text_lines.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

// Every rate distinct, so that a value written under the wrong key shows: 1 to 7 M for
// the 32-bit depth rows, 11 to 20 M for the stencil rows, 21 to 27 M at 16 bits.
void fillKnownResults(FillrateTest& test) {
  Measured FillModeResults::*const depthRows[] = {
      &FillModeResults::colorOnly,  &FillModeResults::depthOnly, &FillModeResults::colorDepth,
      &FillModeResults::depthPassColorDepth, &FillModeResults::cullLEqual,
      &FillModeResults::cullGEqual, &FillModeResults::cullEqual};
  for (int i = 0; i < 7; ++i) {
    test.results32.*depthRows[i] = (1 + i) * 1e6;
    test.results16.*depthRows[i] = (21 + i) * 1e6;
  }
  Measured* const stencilRows[] = {
      &test.stencilCull,  &test.stencilWrite,  &test.stencilInvert, &test.zFailStencil,
      &test.zPassStencil, &test.colorOnlyStencilOn, &test.zStencil, &test.colorZStencil,
      &test.colorStencil, &test.colorZStencilOn};
  for (int i = 0; i < 10; ++i) *stencilRows[i] = (11 + i) * 1e6;
  std::snprintf(test.format32, sizeof test.format32, "R8G8B8A8 Z24 S8");
  std::snprintf(test.format16, sizeof test.format16, "R5G6B5A0 Z16 S0");
  test.failed32 = test.failed16 = test.skipped32 = test.failed = false;
  test.hasRun = true;
}

// A mode's group up to its depth rows, whose rates are first, first + 1, ... millions.
std::vector<std::string> depthRowLines(int bits, const char* mode, int first) {
  std::vector<std::string> lines = {formatC("Fillrate:%d:Mode=%s", bits, mode)};
  for (const char* key : {"Col", "Z", "ColZ", "ZPassColZ", "ZCullLEqual", "ZCullGEqual", "ZCullEqual"})
    lines.push_back(formatC("Fillrate:%d:%s=%d.000 M Pix/s", bits, key, first++));
  return lines;
}

}  // namespace

TEST(FillrateReport, EveryKeyInOrderAndNoGroupForAFailedOrSkippedMode) {
  FillrateTest test;
  fillKnownResults(test);
  const std::vector<std::string> mode16 = depthRowLines(16, "R5G6B5A0 Z16 S0", 21);
  std::vector<std::string> expected = depthRowLines(32, "R8G8B8A8 Z24 S8", 1);
  expected.insert(expected.end(),
                  {"Fillrate:32:S=12.000 M Pix/s", "Fillrate:32:SCull=11.000 M Pix/s",
                   "Fillrate:32:SPass:S=13.000 M Pix/s", "Fillrate:32:SPass:ZFailS=14.000 M Pix/s",
                   "Fillrate:32:SPass:ZPass:S=15.000 M Pix/s", "Fillrate:32:SPass:ZPass:ZS=17.000 M Pix/s",
                   "Fillrate:32:SPass:ZPass:Col=16.000 M Pix/s", "Fillrate:32:SPass:ZPass:ColZ=20.000 M Pix/s",
                   "Fillrate:32:SPass:ZPass:ColS=19.000 M Pix/s", "Fillrate:32:SPass:ZPass:ColZS=18.000 M Pix/s"});
  expected.insert(expected.end(), mode16.begin(), mode16.end());
  EXPECT_EQ(sectionTextLines(test), withHeader(expected));
  // A skipped 32-bit mode has no group; a stale flag of an earlier run must not matter.
  fillKnownResults(test);
  test.skipped32 = true;
  test.failed32 = true;
  EXPECT_EQ(sectionTextLines(test), withHeader(mode16));
}

TEST(FillrateSummary, FollowsTheModesThatProducedResults) {
  FillrateTest test;
  fillKnownResults(test);
  test.results32.colorOnly = 1.234e9;
  test.results16.colorOnly = 5e8;
  EXPECT_EQ(summaryOf(test), "1.234 GPix/s");
  test.failed32 = true;
  EXPECT_EQ(summaryOf(test), "500.000 MPix/s");
  test.failed16 = test.failed = true;
  EXPECT_EQ(summaryOf(test), "error");
  // Even asked directly, a run without any mode shows no number.
  char buffer[SummarySize];
  test.summary(buffer);
  EXPECT_STREQ(buffer, "n/a");
  test.failed = test.failed16 = false;
  test.skipped32 = true;
  test.summary(buffer);
  EXPECT_STREQ(buffer, "n/a");
}

using FillrateRun = FakeDisplayTest;

// Without a 32-bit format, or with maxBpp below 32, the 16-bit mode is measured all the
// same; its group follows the 32-bit error, or stands alone.
TEST_F(FillrateRun, TheSixteenBitModeOutlivesAFailedOrSkippedThirtyTwoBitMode) {
  for (const bool skip : {false, true}) {
    SCOPED_TRACE(skip ? "maxBpp 16" : "no 32-bit format");
    if (skip)
      config->maxBpp = 16;
    else
      offerOnly16BitFormats();
    fake.calls.clear();
    FillrateTest test;
    test.run(RunContext());
    EXPECT_EQ(test.skipped32, skip);
    EXPECT_TRUE(skip || test.failed32);
    EXPECT_FALSE(test.failed16 || test.failed);
    EXPECT_EQ(fake.count("createTestWindow"), skip ? 1 : 2);
    const std::vector<std::string> lines = sectionTextLines(test);
    ASSERT_EQ(lines.size(), skip ? 9u : 10u);
    if (skip)
      EXPECT_EQ(summaryOf(test), "n/a");
    else
      EXPECT_EQ(lines[1], "Fillrate:32:Error=no pixel format");
    EXPECT_EQ(lines[skip ? 1 : 2].rfind("Fillrate:16:Mode=", 0), 0u) << lines[skip ? 1 : 2];
  }
  // With the 32-bit mode skipped, the 16-bit window alone decides, though the 32-bit
  // flag says nothing failed.
  fake.failWindow = true;
  FillrateTest test;
  test.run(RunContext());
  EXPECT_FALSE(test.failed32);
  EXPECT_TRUE(test.failed);
  EXPECT_EQ(summaryOf(test), "error");
}

TEST(FillrateOnMesa, DepthFailRowDiscardsTheTimedFragmentsAndUpdatesStencil) {
  NativeDisplay display(16, 16);
  TestWindow window(32, true, true);
  if (window.initFailed) GTEST_SKIP() << "no rendering on this machine: " << window.errorText;

  // What the stencil-cull row leaves behind: EQUAL 1 over a cleared stencil buffer, the
  // stencil test on; then the z-fail row's LESS depth test and its buffer reset (the
  // masks and clear values are a fresh context's: all bits written, depth 1, stencil 0).
  glStencilFunc(GL_EQUAL, 1, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glEnable(GL_STENCIL_TEST);
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  prepareDepthFailStencilRow();
  GLfloat depth = -1.0f;
  glReadPixels(8, 8, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_EQ(depth, 0.0f) << "the depth buffer must hold the near value";

  // A timed quad at z = 0.5 fails the depth test, inverts stencil and leaves depth alone.
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, 1.0f, 0.5f);
  glVertex3f(-1.0f, -1.0f, 0.5f);
  glVertex3f(1.0f, -1.0f, 0.5f);
  glVertex3f(1.0f, 1.0f, 0.5f);
  glEnd();
  GLubyte stencil = 0;
  glReadPixels(8, 8, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
  glReadPixels(8, 8, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_EQ(stencil, 0xFF);
  EXPECT_EQ(depth, 0.0f);
}
