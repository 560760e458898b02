#include "measurements/bandwidth.h"

#include <cstdio>

#include "framework/format.h"
#include "framework/measurement_loop.h"
#include "gl/refresh_rate.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Depth range of the draw measurement in steps of 1/256: quads go from the far value
// toward the near one and back, so each one passes the depth test of its pass.
constexpr int FarDepthStep = 192;
constexpr int NearDepthStep = 64;
constexpr int QuadsPerGroup = 4;
constexpr int QuadsPerCycle = 2 * (FarDepthStep - NearDepthStep);

// One full-screen quad at depth step z (z / 256 in window depth terms of [-1, 1]).
void drawDepthQuad(int z) {
  const float d = static_cast<float>(z) * 0.00390625f;
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, 1.0f, d);
  glVertex3f(-1.0f, -1.0f, d);
  glVertex3f(1.0f, -1.0f, d);
  glVertex3f(1.0f, 1.0f, d);
  glEnd();
}

// Four quads, each one depth step further in 'direction' (-1 nearer, +1 farther).
void drawGroup(int& z, int direction) {
  for (int i = 0; i < QuadsPerGroup; ++i) {
    z += direction;
    drawDepthQuad(z);
  }
}

// Low byte of the next colour in the sequence.
GLubyte nextColorByte(uint32_t& seed) {
  seed = nextColorSeed(seed);
  return static_cast<GLubyte>(seed & 0xFFu);
}

// One draw cycle: a LESS pass toward the viewer and a GREATER pass back, 256 quads in all.
void drawCycle(const SyncMethod& sync, int& z, uint32_t& seed) {
  glDepthFunc(GL_LESS);
  while (z > NearDepthStep) {
    glColor4ub(nextColorByte(seed), 0, 0, 16);
    drawGroup(z, -1);
    sync.endBatch();
  }
  glFinish();
  glDepthFunc(GL_GREATER);
  while (z < FarDepthStep) {
    glColor4ub(0, nextColorByte(seed), 0, 16);
    drawGroup(z, +1);
    sync.endBatch();
  }
  glFinish();
}

// --- State of each measurement, in the order they run; write masks carry over ---

// Colour writes alone, once the work before is done.
void setupColorClearState() {
  glFinish();
  glStencilMask(0);
  glDepthMask(GL_FALSE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// A yellow frame shown, then depth writes alone.
void setupDepthClearState(const SyncMethod& sync) {
  glClearColor(0.75f, 0.75f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  sync.swap();
  glStencilMask(0);
  glDepthMask(GL_TRUE);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
}

// Stencil writes alone.
void setupStencilClearState() {
  glStencilMask(~0u);
  glDepthMask(GL_FALSE);
}

// Depth and stencil writes.
void setupDepthStencilClearState() { glDepthMask(GL_TRUE); }

// Colour, depth and stencil writes.
void setupAllClearState() { glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE); }

// Worst-case drawing: blending, stencil and depth tests passing, over cleared buffers.
void setupDrawState(const SyncMethod& sync) {
  // Over the masks the clears left on: alpha blending, stencil NOTEQUAL 1 with inversion
  // everywhere (the value alternates between 0 and all ones, so the test always passes),
  // LESS depth test.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glStencilOp(GL_INVERT, GL_INVERT, GL_INVERT);
  glStencilFunc(GL_NOTEQUAL, 1, ~0u);
  glEnable(GL_STENCIL_TEST);
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  glClearDepth(1.0);
  glClearStencil(0);
  glStencilMask(~0u);
  sync.clearThroughSwaps(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  sync.swap();  // the loop's warm-up, which its glFinish completes
}

void writeValue(ResultReport& report, const Measured& value, const char* htmlText,
                const char* label) {
  report.addValue(value, "B/s", htmlText, label);
}

}  // namespace

// Clears per second of the buffers in mask. The clear values change on every clear so
// that a driver cannot skip a clear that would leave the buffer as it is.
Measured BandwidthTest::clearRate(unsigned mask, const TestWindow& window, int repeats) {
  LoopSpec spec;
  spec.step = 1;
  spec.cap = 5000;
  spec.minSeconds = 0.5;
  spec.repeats = repeats;
  spec.warmupSwap = false;  // no warm-up draw: a glFinish only
  int n = 0;
  auto batch = [&n, mask] {
    const int k = n % 16;
    glClearColor(0.5f, static_cast<float>(k) * 0.06666667f, 0.0f, 1.0f);
    glClearDepth(static_cast<float>(k) * 0.032258064f + 0.25f);
    glClearStencil(k);
    glClear(mask);
    ++n;
  };
  return runMeasurementLoop(spec, window.syncMethod(), batch, Batch()).measured(1.0);
}

// The five clear rates.
void BandwidthTest::measureClears(const TestWindow& window, int repeats) {
  setupColorClearState();
  colorClear = clearRate(GL_COLOR_BUFFER_BIT, window, repeats).scaled(window.colorBytes);
  setupDepthClearState(window.syncMethod());
  depthClear = clearRate(GL_DEPTH_BUFFER_BIT, window, repeats).scaled(window.depthBytes);
  setupStencilClearState();
  stencilClear = clearRate(GL_STENCIL_BUFFER_BIT, window, repeats).scaled(window.stencilBytes);
  setupDepthStencilClearState();
  depthStencilClear = clearRate(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, window, repeats)
                          .scaled(static_cast<double>(window.depthBytes) + window.stencilBytes);
  setupAllClearState();
  allClear = clearRate(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, window,
                       repeats)
                 .scaled(static_cast<double>(window.colorBytes) + window.depthBytes +
                         window.stencilBytes);
}

// Worst-case drawing: every fragment passes depth and stencil tests and reads and
// writes colour (blending), depth and stencil.
void BandwidthTest::measureDraw(const TestWindow& window, int repeats) {
  const SyncMethod sync = window.syncMethod();
  setupDrawState(sync);

  LoopSpec spec;
  spec.step = QuadsPerCycle;
  spec.cap = 5000;
  spec.minSeconds = 1.0;
  spec.repeats = repeats;
  spec.batchEnd = BatchEnd::None;  // a cycle ends its own batches
  spec.warmupSwap = false;
  int z = FarDepthStep;
  const LoopResult result = runMeasurementLoop(
      spec, sync, [this, &sync, &z] { drawCycle(sync, z, colorSeed); }, Batch());
  drawQuads = result.count;
  drawBandwidth = result.measured(
      drawBytesPerQuad(window.colorBytes, window.depthBytes, window.stencilBytes));
}

void BandwidthTest::run(const RunContext& context) {
  TestWindow window(32, true, true);
  window.describeFormat(modeText, sizeof modeText);
  failed = window.initFailed;
  if (!failed) {
    measureRefreshRate(window);
    hasDepth = window.depthBytes > 0;
    hasStencil = window.stencilBytes > 0;
    measureClears(window, context.repeats);
    measureDraw(window, context.repeats);
    ramdacBandwidth = window.ramdacBytesPerSecond();
    physicalBandwidth = ramdacBandwidth.value + drawBandwidth.value;
    // The estimate rests on the draw measurement, and so does whatever went wrong there.
    physicalBandwidth.glError = drawBandwidth.glError;
  }
  hasRun = true;
}

void BandwidthTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  report.beginGroup("available to buffer clears", "Clear");
  writeValue(report, allClear, " all buffers", "All");
  writeValue(report, colorClear, " color only", "Color");
  if (hasDepth || hasStencil)
    writeValue(report, depthStencilClear, " depth and stencil", "ZAndStencil");
  if (hasDepth) writeValue(report, depthClear, " depth only", "Z");
  if (hasStencil) writeValue(report, stencilClear, " stencil only", "Stencil");
  report.endGroup();
  writeValue(report, drawBandwidth, " worst case draw bandwidth", "Draw");
  writeValue(report, ramdacBandwidth, " burned by the RAMDAC", "BurnedByRAMDAC");
  writeValue(report, physicalBandwidth, " estimated physical bandwidth", "Physical");
}

void BandwidthTest::summary(char* buffer) {
  std::snprintf(buffer, SummarySize, "%sB/s", formatDecimal(physicalBandwidth.value).c_str());
}

}  // namespace corvalis
