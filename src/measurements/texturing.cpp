#include "measurements/texturing.h"

#include <cstdio>

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
LoopSpec texturingLoop(int repeats) {
  LoopSpec spec;
  spec.repeats = repeats;
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
      for (int layers = 1; layers <= layerCount; ++layers) {
        reportProgress("texture layers", layers, layerCount);
        bilinearRate[layers - 1] =
            texturedRate(window, layers, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, context.repeats);
        trilinearRate[layers - 1] =
            texturedRate(window, layers, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, context.repeats);
      }
    }
    window.describeFormat(modeText, sizeof(modeText));
  }
  hasRun = true;
}

Measured TexturingTest::texturedRate(const TestWindow& window, int layers, unsigned magFilter,
                                     unsigned minFilter, int repeats) {
  TexturedQuad quad;
  setupTexturedQuad(quad, window.caps, layers, magFilter, minFilter);
  const Batch batch = [&quad] { glCallList(quad.list); };
  // No warm-up draw: the loop's swap and glFinish settle the build.
  const LoopResult result =
      runMeasurementLoop(texturingLoop(repeats), window.syncMethod(), batch, {});
  quad.release();
  // Every quad covers the whole screen, whatever the layer count.
  return result.measured(static_cast<double>(screenWidth) * screenHeight);
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

void TexturingTest::summary(char* buffer) {
  if (failed) return;
  std::snprintf(buffer, SummarySize, "%sTex/s", formatDecimal(bilinearRate[0].value).c_str());
}

}  // namespace corvalis
