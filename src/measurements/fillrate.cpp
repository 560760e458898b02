#include "measurements/fillrate.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "framework/format.h"
#include "framework/measurement_loop.h"
#include "framework/progress.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// How a full-screen quad is coloured: per vertex, left edge then right edge, or not at
// all (the depth lay-down and cull quads keep whatever colour is current).
enum class Coloring { None, A, B };

// Each quad lies this much nearer than the one before in the depth-pass measurement.
constexpr float DepthPassStep = 1.0f / 32768.0f;

constexpr double MinSeconds = 0.375;
constexpr int QuadCap = 5000;

// The loop row shared by every fill measurement; step is quads per iteration.
LoopSpec fillLoop(int step, bool warmupSwap) {
  LoopSpec spec;
  spec.step = step;
  spec.cap = QuadCap;
  spec.minSeconds = MinSeconds;
  spec.warmupSwap = warmupSwap;
  return spec;
}

// One GL_QUADS primitive over the whole window (identity matrices) at depth z.
void drawQuad(float z, Coloring coloring) {
  glBegin(GL_QUADS);
  if (coloring == Coloring::A) glColor4ub(64, 64, 255, 255);
  if (coloring == Coloring::B) glColor4ub(192, 0, 0, 255);
  glVertex3f(-1.0f, 1.0f, z);
  glVertex3f(-1.0f, -1.0f, z);
  if (coloring == Coloring::A) glColor4ub(192, 192, 0, 255);
  if (coloring == Coloring::B) glColor4ub(0, 255, 128, 255);
  glVertex3f(1.0f, -1.0f, z);
  glVertex3f(1.0f, 1.0f, z);
  glEnd();
}

double screenPixels() { return static_cast<double>(screenWidth) * screenHeight; }

// Plain fill: quads A and B alternating at z = 0.5; 'enter' sets what is written.
Timed plainFill(Batch enter, bool chained = false) {
  Timed timed;
  timed.spec = fillLoop(6, true);
  timed.enter = std::move(enter);
  timed.chained = chained;
  timed.warmup = [] { drawQuad(0.5f, Coloring::A); };
  timed.batch = [] {
    for (int i = 0; i < 3; ++i) {
      drawQuad(0.5f, Coloring::A);
      drawQuad(0.5f, Coloring::B);
    }
  };
  return timed;
}

// Depth pass: every quad lies slightly nearer than the one before, so each one passes
// the LEQUAL test and writes colour and depth (setupDepthPassState, in 'enter'). 'z' is
// carried on from iteration to iteration and starts at the far plane after each enter.
Timed depthPassFill(Batch enter, float& z) {
  Timed timed;
  timed.spec = fillLoop(5, false);
  timed.enter = [enter = std::move(enter), &z] {
    z = 1.0f;
    enter();
  };
  timed.batch = [&z] {
    for (int i = 0; i < 5; ++i) {
      z -= DepthPassStep;
      drawQuad(z, Coloring::A);
    }
  };
  // The clears and swaps of the set-up are the warm-up; the loop only finishes them.
  return timed;
}

// Depth cull: the depth buffer holds one plane, the quads lie on the other, and every
// fragment fails the depth test (setupDepthCullState, in 'enter'). farQuads puts the
// quads on the far plane, else the near one.
Timed depthCullFill(Batch enter, bool farQuads) {
  const float z = farQuads ? 1.0f : -1.0f;
  Timed timed;
  timed.spec = fillLoop(5, false);
  timed.enter = std::move(enter);
  // Warm-up: lay down the depth buffer, far quad first, then the near one.
  timed.warmup = [] {
    drawQuad(1.0f, Coloring::None);
    drawQuad(-1.0f, Coloring::None);
  };
  timed.batch = [z] {
    for (int i = 0; i < 5; ++i) drawQuad(z, Coloring::None);
  };
  return timed;
}

void setColorMask(bool on) { glColorMask(on, on, on, on); }

// Clears colour, depth and stencil with every write mask on, then three swaps each
// followed by the same clear: every stencil-series row starts from the same buffers.
void resetBuffers(const SyncMethod& sync) {
  setColorMask(true);
  glDepthMask(GL_TRUE);
  glStencilMask(~0u);
  sync.clearThroughSwaps(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// Stencil test NOTEQUAL 1 with inversion on depth fail and pass: the test always passes
// (the value alternates between 0 and all ones) and every fragment updates stencil.
void stencilInvertState() {
  glStencilFunc(GL_NOTEQUAL, 1, ~0u);
  glStencilOp(GL_KEEP, GL_INVERT, GL_INVERT);
}

// --- State of the fill passes, one block per measurement in the order they run ---

// Stencil test off, with settings that are harmless should a driver look at it anyway.
void setupFillPassState() {
  glStencilFunc(GL_ALWAYS, -1, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glStencilMask(~0u);
  glDisable(GL_STENCIL_TEST);
}

// LEQUAL depth test over freshly cleared colour and depth buffers (depth pass).
void setupDepthPassState(const SyncMethod& sync) {
  sync.swap();
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sync.swap();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The given depth test over freshly cleared buffers (depth cull).
void setupDepthCullState(const SyncMethod& sync, GLenum depthFunc) {
  glDepthFunc(depthFunc);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  sync.swap();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// Colour only: no depth test, no depth writes.
void setupColorOnlyState() {
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_ALWAYS);
  glDisable(GL_DEPTH_TEST);
  setColorMask(true);
}

// Depth only: the test is on (ALWAYS passes) so that depth is written; colour is not.
void setupDepthOnlyState() {
  setColorMask(false);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
}

// Colour and depth: colour writes back on over the depth-only state.
void setupColorDepthState() { setColorMask(true); }

// What the fill passes leave behind: depth test and writes on, stencil writes and test off.
void leaveFillPassState() {
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glStencilMask(0);
  glDisable(GL_STENCIL_TEST);
}

// --- State of the stencil series; what a row does not set carries over ---

// Clear values and no depth test for the whole series; all stencil bits writable.
void setupStencilSeriesState() {
  glClearColor(0.25f, 0.125f, 0.75f, 0.0f);
  glDepthFunc(GL_ALWAYS);
  glDisable(GL_DEPTH_TEST);
  glClearStencil(0);
  glStencilMask(~0u);
}

// Stencil writes only.
void setupStencilWriteRow(const SyncMethod& sync) {
  resetBuffers(sync);
  setColorMask(false);
  glDepthMask(GL_FALSE);
  glStencilFunc(GL_ALWAYS, -1, ~0u);
  glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
  glEnable(GL_STENCIL_TEST);
}

// Stencil read and update; the test always passes.
void setupStencilInvertRow(const SyncMethod& sync) {
  resetBuffers(sync);
  setColorMask(false);
  glDepthMask(GL_FALSE);
  stencilInvertState();
  glEnable(GL_STENCIL_TEST);
}

// Every fragment fails the stencil test (the buffer holds 0).
void setupStencilCullRow(const SyncMethod& sync) {
  resetBuffers(sync);
  setColorMask(false);
  glDepthMask(GL_FALSE);
  glStencilFunc(GL_EQUAL, 1, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

// Depth test fails, stencil updated on depth fail.
void setupZFailStencilRow(const SyncMethod& sync) {
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  resetBuffers(sync);
  prepareDepthFailStencilRow();
}

// Stencil updates alone, with a depth test that passes.
void setupZPassStencilRow(const SyncMethod& sync) {
  // From here on the depth test LEQUAL passes (z = 0.5 over a cleared buffer) and stencil
  // NOTEQUAL 1 with inversion passes; the rows differ only in their write masks.
  glDepthFunc(GL_LEQUAL);
  resetBuffers(sync);
  setColorMask(false);
  glDepthMask(GL_FALSE);
}

// Stencil and depth writes.
void setupZStencilRow(const SyncMethod& sync) {
  resetBuffers(sync);
  setColorMask(false);
}

// Stencil, depth and colour writes.
void setupColorZStencilRow(const SyncMethod& sync) { resetBuffers(sync); }

// Depth and colour writes, stencil tested but not written.
void setupColorZStencilOnRow(const SyncMethod& sync) {
  resetBuffers(sync);
  glStencilMask(0);
}

// Stencil and colour writes.
void setupColorStencilRow(const SyncMethod& sync) {
  resetBuffers(sync);
  glDepthMask(GL_FALSE);
}

// Colour writes alone, stencil tested but not written.
void setupColorOnlyStencilOnRow(const SyncMethod& sync) {
  resetBuffers(sync);
  glDepthMask(GL_FALSE);
  glStencilMask(0);
}

void writeValue(ResultReport& report, const Measured& value, const char* htmlText,
                const char* label) {
  report.addValue(value, "Pix/s", htmlText, label);
}

}  // namespace

bool fillrateSummaryValue(bool skipped32, bool failed32, bool failed16,
                          const FillModeResults& results32, const FillModeResults& results16,
                          double& value) {
  if (skipped32) return false;
  if (!failed32) {
    value = results32.colorOnly.value;
    return true;
  }
  if (!failed16) {
    value = results16.colorOnly.value;
    return true;
  }
  return false;
}

void prepareDepthFailStencilRow() {
  // Order: colour writes off, then the always-passing stencil state, then the depth
  // lay-down.
  // NOTE: the stencil state must come before the lay-down: under the previous row's
  // EQUAL 1 test the lay-down quads would be discarded, the depth buffer would keep the
  // far value and every timed fragment would pass the depth test.
  setColorMask(false);
  stencilInvertState();
  drawQuad(1.0f, Coloring::None);
  drawQuad(-1.0f, Coloring::None);  // the depth buffer now holds the near value
}

// The seven measurements of one mode, on a fresh window.
void FillrateTest::fillPasses(const TestWindow& window, FillModeResults& results,
                              const RunContext& context) {
  const SyncMethod sync = window.syncMethod();
  float z = 1.0f;
  const std::vector<Timed> set = {
      depthPassFill([&sync] { setupDepthPassState(sync); }, z),
      // The buffer holds the near value, the quads lie on the far plane.
      depthCullFill([&sync] { setupDepthCullState(sync, GL_LEQUAL); }, true),
      // The buffer holds the far value, the quads lie on the near plane.
      depthCullFill([&sync] { setupDepthCullState(sync, GL_EQUAL); }, false),
      depthCullFill([&sync] { setupDepthCullState(sync, GL_GEQUAL); }, false),
      plainFill(setupColorOnlyState),
      plainFill(setupDepthOnlyState, true),
      plainFill(setupColorDepthState, true),
  };
  // In rounds every slice starts from the state of a fresh window with the stencil test
  // off, as the first measurement does.
  const Batch base = [] {
    setupFillPassState();
    setColorMask(true);
    glDepthMask(GL_TRUE);
  };
  setupFillPassState();
  const std::vector<LoopResult> timed = measureSet(set, base, sync, context);
  Measured* const out[] = {&results.depthPassColorDepth, &results.cullLEqual, &results.cullEqual,
                           &results.cullGEqual,          &results.colorOnly,  &results.depthOnly,
                           &results.colorDepth};
  for (size_t i = 0; i < timed.size(); ++i) *out[i] = timed[i].measured(screenPixels());
  leaveFillPassState();
}

// The ten stencil measurements of the 32-bit mode, each row's state set up on the
// state of the row before.
void FillrateTest::stencilSeries(const TestWindow& window, const RunContext& context) {
  static const struct {
    void (*setup)(const SyncMethod& sync);
    Measured FillrateTest::*result;
  } rows[] = {
      {setupStencilWriteRow, &FillrateTest::stencilWrite},
      {setupStencilInvertRow, &FillrateTest::stencilInvert},
      {setupStencilCullRow, &FillrateTest::stencilCull},
      {setupZFailStencilRow, &FillrateTest::zFailStencil},
      {setupZPassStencilRow, &FillrateTest::zPassStencil},
      {setupZStencilRow, &FillrateTest::zStencil},
      {setupColorZStencilRow, &FillrateTest::colorZStencil},
      {setupColorZStencilOnRow, &FillrateTest::colorZStencilOn},
      {setupColorStencilRow, &FillrateTest::colorStencil},
      {setupColorOnlyStencilOnRow, &FillrateTest::colorOnlyStencilOn},
  };
  const SyncMethod sync = window.syncMethod();
  std::vector<Timed> set;
  for (const auto& row : rows)
    set.push_back(plainFill([&sync, setup = row.setup] { setup(sync); }, !set.empty()));
  // In rounds a row's state is made again from the state the fill passes leave.
  const Batch base = [] {
    setupFillPassState();
    leaveFillPassState();
    setupStencilSeriesState();
  };
  setupStencilSeriesState();
  const std::vector<LoopResult> timed = measureSet(set, base, sync, context);
  for (size_t i = 0; i < timed.size(); ++i) this->*rows[i].result = timed[i].measured(screenPixels());
}

void FillrateTest::run(const RunContext& context) {
  if (displayConfig != nullptr && displayConfig->maxBpp < 32) {
    skipped32 = true;
  } else {
    reportProgress("32 bits", 1, 2);
    TestWindow window(32, true, true);
    window.describeFormat(format32, sizeof format32);
    failed32 = window.initFailed;
    if (!failed32) {
      fillPasses(window, results32, context);
      stencilSeries(window, context);
    }
    skipped32 = false;
  }
  {
    reportProgress("16 bits", 2, 2);
    TestWindow window(16, true, false);
    window.describeFormat(format16, sizeof format16);
    failed16 = window.initFailed;
    if (!failed16) fillPasses(window, results16, context);
  }
  // A skipped 32-bit mode has no say: failed then means the 16-bit mode failed, never a
  // flag left over from an earlier run.
  failed = skipped32 ? failed16 : (failed32 && failed16);
  hasRun = true;
}

void FillrateTest::writeModeValues(ResultReport& report, const FillModeResults& results) {
  writeValue(report, results.colorOnly, " color only", "Col");
  writeValue(report, results.depthOnly, " z only", "Z");
  writeValue(report, results.colorDepth, " color and z", "ColZ");
  writeValue(report, results.depthPassColorDepth, " z tested (pass), color and z", "ZPassColZ");
  writeValue(report, results.cullLEqual, " discardable by LEQUAL depth test", "ZCullLEqual");
  writeValue(report, results.cullGEqual, " discardable by GEQUAL depth test", "ZCullGEqual");
  writeValue(report, results.cullEqual, " discardable by EQUAL depth test", "ZCullEqual");
}

void FillrateTest::writeStencilBlock(ResultReport& report) {
  writeValue(report, stencilWrite, " stencil writes", "S");
  writeValue(report, stencilCull, " discardable by EQUAL stencil test", "SCull");
  report.beginGroup("stencil test passed", "SPass");
  writeValue(report, stencilInvert, " pure stencil updates", "S");
  writeValue(report, zFailStencil, " z fail (LEQUAL), stencil update", "ZFailS");
  report.beginGroup("z test passed (LEQUAL)", "ZPass");
  writeValue(report, zPassStencil, " stencil update", "S");
  writeValue(report, zStencil, " stencil update, z update", "ZS");
  writeValue(report, colorOnlyStencilOn, " color replace", "Col");
  writeValue(report, colorZStencilOn, " z update, color replace", "ColZ");
  writeValue(report, colorStencil, " stencil update, color replace", "ColS");
  writeValue(report, colorZStencil, " stencil update, z update, color replace", "ColZS");
  report.endGroup();
  report.endGroup();
}

void FillrateTest::writeResults(ResultReport& report) {
  report.beginGroup(nullptr, nullptr);
  if (!skipped32) {
    report.beginGroup("32 bits", "32");
    if (failed32) {
      report.addItem(format32, nullptr, "Error");
    } else {
      report.addItem(format32, nullptr, "Mode");
      writeModeValues(report, results32);
      writeStencilBlock(report);
    }
    report.endGroup();
  }
  report.beginGroup("16 bits", "16");
  if (failed16) {
    report.addItem(format16, nullptr, "Error");
  } else {
    report.addItem(format16, nullptr, "Mode");
    writeModeValues(report, results16);
  }
  report.endGroup();
  report.endGroup();
}

std::optional<Measured> FillrateTest::headline() const {
  double value = 0.0;
  if (!fillrateSummaryValue(skipped32, failed32, failed16, results32, results16, value))
    return std::nullopt;
  return !failed32 ? results32.colorOnly : results16.colorOnly;
}

void FillrateTest::summary(char* buffer) {
  double value = 0.0;
  if (!fillrateSummaryValue(skipped32, failed32, failed16, results32, results16, value)) {
    // Nothing to show: the same text as a test that has not run.
    std::snprintf(buffer, SummarySize, "%s", "n/a");
    return;
  }
  std::snprintf(buffer, SummarySize, "%sPix/s", formatDecimal(value).c_str());
}

}  // namespace corvalis
