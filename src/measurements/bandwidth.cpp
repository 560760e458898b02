#include "measurements/bandwidth.h"

#include <cstdio>
#include <utility>
#include <vector>

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

}  // namespace

// Worst-case drawing: blending, stencil and depth tests passing, over cleared buffers.
void enterDrawState(const SyncMethod& sync) {
  // Every buffer written, whichever clear ran last: in rounds that turn about, an even
  // count of them ends on the colour clear, which leaves depth and stencil writes off
  // (and a draw without depth writes ran half again as fast). Alpha blending, stencil
  // NOTEQUAL 1 with inversion everywhere (the value alternates between 0 and all ones,
  // so the test always passes), LESS depth test.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
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

namespace {

void writeValue(ResultReport& report, const Measured& value, const char* htmlText,
                const char* label) {
  report.addValue(value, "B/s", htmlText, label);
}

}  // namespace

// Clears per second of the buffers in mask, after 'enter' set the write masks. The
// clear values change on every clear so that a driver cannot skip a clear that would
// leave the buffer as it is.
Timed clearRate(unsigned mask, Batch enter, int& n) {
  Timed timed;
  timed.spec.step = 1;
  timed.spec.cap = 5000;
  timed.spec.minSeconds = 0.5;
  timed.spec.warmupSwap = false;  // no warm-up draw: a glFinish only
  timed.enter = std::move(enter);
  timed.batch = [&n, mask] {
    const int k = n % 16;
    glClearColor(0.5f, static_cast<float>(k) * 0.06666667f, 0.0f, 1.0f);
    glClearDepth(static_cast<float>(k) * 0.032258064f + 0.25f);
    glClearStencil(k);
    glClear(mask);
    ++n;
  };
  return timed;
}

// The five clear rates.
void BandwidthTest::measureClears(const TestWindow& window, const RunContext& context) {
  const SyncMethod sync = window.syncMethod();
  // Each clear counts from 0 again, as a measurement of its own.
  int counts[5] = {};
  std::vector<Timed> set = {
      clearRate(GL_COLOR_BUFFER_BIT, setupColorClearState, counts[0]),
      clearRate(GL_DEPTH_BUFFER_BIT, [&sync] { setupDepthClearState(sync); }, counts[1]),
      clearRate(GL_STENCIL_BUFFER_BIT, setupStencilClearState, counts[2]),
      clearRate(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, setupDepthStencilClearState,
                counts[3]),
      clearRate(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                setupAllClearState, counts[4]),
  };
  // The colour and the depth clear set all three write masks; each later clear changes
  // those of the one before.
  for (size_t i = 2; i < set.size(); ++i) set[i].chained = true;
  const std::vector<LoopResult> timed = measureSet(set, Batch(), sync, context);
  const double depthStencil = static_cast<double>(window.depthBytes) + window.stencilBytes;
  colorClear = timed[0].measured(1.0).scaled(window.colorBytes);
  depthClear = timed[1].measured(1.0).scaled(window.depthBytes);
  stencilClear = timed[2].measured(1.0).scaled(window.stencilBytes);
  depthStencilClear = timed[3].measured(1.0).scaled(depthStencil);
  allClear = timed[4].measured(1.0).scaled(depthStencil + window.colorBytes);
}

// Worst-case drawing: every fragment passes depth and stencil tests and reads and
// writes colour (blending), depth and stencil.
void BandwidthTest::measureDraw(const TestWindow& window, const RunContext& context) {
  const SyncMethod sync = window.syncMethod();
  Timed draw;
  draw.spec.step = QuadsPerCycle;
  draw.spec.cap = 5000;
  draw.spec.minSeconds = 1.0;
  draw.spec.batchEnd = BatchEnd::None;  // a cycle ends its own batches
  draw.spec.warmupSwap = false;
  draw.enter = [&sync] { enterDrawState(sync); };
  int z = FarDepthStep;
  draw.batch = [this, &sync, &z] { drawCycle(sync, z, colorSeed); };
  const LoopResult result = measureSet({draw}, Batch(), sync, context)[0];
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
    measureClears(window, context);
    measureDraw(window, context);
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

std::optional<Measured> BandwidthTest::headline() const {
  if (failed) return std::nullopt;
  // The estimate is the draw's bandwidth plus the display's fixed share.
  Measured out(physicalBandwidth.value);
  for (double sample : drawBandwidth.samples) out.samples.push_back(sample + ramdacBandwidth.value);
  return out;
}

void BandwidthTest::summary(char* buffer) {
  std::snprintf(buffer, SummarySize, "%sB/s", formatDecimal(physicalBandwidth.value).c_str());
}

}  // namespace corvalis
