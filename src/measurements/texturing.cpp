#include "measurements/texturing.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "framework/format.h"
#include "framework/measurement_loop.h"
#include "framework/progress.h"
#include "gl/display_config.h"
#include "gl/gl_caps.h"
#include "gl/window.h"
#include "measurements/textured_quad.h"
#include "platform/gl_include.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Two quads per iteration, each followed by its own batch end; a glFinish every 64
// quads keeps the queue from running far ahead. At least 0.5 s or 2000 quads.
LoopSpec texturingLoop() {
  LoopSpec spec;
  spec.step = 2;
  spec.cap = 2000;
  spec.minSeconds = 0.5;
  spec.batchesPerIteration = 2;
  spec.finishEvery = 64;
  return spec;
}

// Plain colour writes, no depth: every quad covers every pixel.
void setupTexturingState() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
}

// White vertices, so that the texture alone colours it, and the quad on 'layers' units.
void setupTexturedQuad(TexturedQuad& quad, const GlCaps& caps, int layers, GLenum magFilter,
                       GLenum minFilter) {
  glColor4ub(255, 255, 255, 255);
  quad.build(caps, layers, magFilter, minFilter);
}

}  // namespace

void TexturingTest::run(const RunContext& context) {
  {
    TestWindow window(16, false, false);
    failed = window.initFailed;
    layerCount = 0;
    if (!failed) {
      setupTexturingState();
      layerCount = texturingLayerCount(window.caps);
      measure(window, context);
    }
    window.describeFormat(modeText, sizeof(modeText));
  }
  hasRun = true;
}

// Bilinear then trilinear filtering for one layer, then for two, and so on. A single run
// builds each quad right before its measurement and deletes it right after; rounds
// visit them all in turn, so all are built first and each is bound again before its
// slice.
void TexturingTest::measure(const TestWindow& window, const RunContext& context) {
  const bool inRounds = context.inRounds();
  const GlCaps& caps = window.caps;
  const GLenum filters[2] = {GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR};
  const int count = 2 * layerCount;
  std::vector<TexturedQuad> quads(static_cast<size_t>(count));
  const auto build = [&quads, &caps, &filters](int i) {
    setupTexturedQuad(quads[i], caps, i / 2 + 1, GL_LINEAR, filters[i % 2]);
  };
  std::vector<Timed> set;
  for (int i = 0; i < count; ++i) {
    Timed timed;
    timed.spec = texturingLoop();
    timed.batch = [&quads, i] { glCallList(quads[i].list); };
    // No warm-up draw: the loop's swap and glFinish settle the build.
    if (inRounds) {
      timed.enter = [&quads, &caps, i] {
        glColor4ub(255, 255, 255, 255);
        quads[i].bind(caps);
      };
    } else {
      timed.enter = [this, &quads, &build, i] {
        if (i % 2 == 0) reportProgress("texture layers", i / 2 + 1, layerCount);
        if (i > 0) quads[i - 1].release();
        build(i);
      };
    }
    set.push_back(std::move(timed));
  }
  if (inRounds) {
    reportProgress("texture layers", layerCount, layerCount);
    for (int i = 0; i < count; ++i) build(i);
  }
  const std::vector<LoopResult> timed = measureSet(set, Batch(), window.syncMethod(), context);
  if (inRounds) {
    for (TexturedQuad& quad : quads) quad.release();
  } else if (count > 0) {
    quads[count - 1].release();
  }
  // Every quad covers the whole screen, whatever the layer count.
  const double pixels = static_cast<double>(screenWidth) * screenHeight;
  for (int i = 0; i < count && i < static_cast<int>(timed.size()); ++i)
    (i % 2 == 0 ? bilinearRate : trilinearRate)[i / 2] = timed[i].measured(pixels);
}

void TexturingTest::writeFilterGroup(ResultReport& report, const char* title, const char* key,
                                     const Measured* rates) {
  report.beginGroup(title, key);
  for (int layers = 1; layers <= layerCount && layers <= MaxTexturingLayers; ++layers) {
    char htmlText[32];
    char label[16];
    std::snprintf(htmlText, sizeof(htmlText), " w %d layers", layers);
    std::snprintf(label, sizeof(label), "%d", layers);
    report.addValue(rates[layers - 1], "Pix/s", htmlText, label);
  }
  report.endGroup();
}

void TexturingTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  // No key: the filter groups sit directly under the test's own key.
  report.beginGroup("Textured fillrate", nullptr);
  writeFilterGroup(report, "Bilinear filter", "Bilinear", bilinearRate);
  writeFilterGroup(report, "Trilinear filter", "Trilinear", trilinearRate);
  report.endGroup();
}

std::optional<Measured> TexturingTest::headline() const {
  if (failed) return std::nullopt;
  return bilinearRate[0];
}

void TexturingTest::summary(char* buffer) {
  if (failed) return;
  std::snprintf(buffer, SummarySize, "%sTex/s", formatDecimal(bilinearRate[0].value).c_str());
}

}  // namespace corvalis
