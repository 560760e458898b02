#include "measurements/readback.h"

#include <cstdio>
#include <limits>
#include <new>
#include <vector>

#include "framework/format.h"
#include "framework/measurement_loop.h"
#include "framework/progress.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "report/result_report.h"

namespace corvalis {

const ReadbackKind readbackKinds[ReadbackKindCount] = {
    {GL_RGBA, GL_UNSIGNED_BYTE, "R8G8B8A8"},
    {GL_BGRA_EXT, GL_UNSIGNED_BYTE, "B8G8R8A8"},
    {GL_RGB, GL_UNSIGNED_BYTE, "R8G8B8"},
    {GL_BGR_EXT, GL_UNSIGNED_BYTE, "B8G8R8"},
    {GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, "S8"},
    {GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, "Zuint"},
    {GL_DEPTH_COMPONENT, GL_FLOAT, "Zfloat"},
};

namespace {

constexpr int SmallSide = 32;

// Report order: colour layouts, then depth, stencil last (measurement order differs).
constexpr int ReportOrder[ReadbackKindCount] = {0, 1, 2, 3, 5, 6, 4};

const char* const WholeHtmlText[ReadbackKindCount] = {
    " of R8G8B8A8 colors", " of B8G8R8A8 colors", " of R8G8B8 colors", " of B8G8R8 colors",
    " of stencil",         " of depth data (unsigned integer)", " of depth data (float)",
};
const char* const SmallHtmlText[ReadbackKindCount] = {
    " as R8G8B8A8", " as B8G8R8A8", " as R8G8B8", " as B8G8R8",
    " of stencil",  " of depth data (unsigned integer)", " of depth data (float)",
};

void writeGroup(ResultReport& report, const char* title, const char* key, const Measured* rates,
                const char* const* htmlTexts) {
  report.beginGroup(title, key);
  for (int kind : ReportOrder)
    report.addValue(rates[kind], "Pix/s", htmlTexts[kind], readbackKinds[kind].label);
  report.endGroup();
}

// Rows of any width packed tightly into the destination.
void setupPackState() { glPixelStorei(GL_PACK_ALIGNMENT, 1); }

// Every buffer freshly cleared and the frame swapped, before each read measurement.
void setupReadState(const SyncMethod& sync) {
  glClearDepth(1.0);
  glClearColor(0.75f, 0.5f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  sync.swap();
}

}  // namespace

size_t readbackBufferBytes(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  // A screen smaller than the 32 x 32 region still gets room for that region's read.
  const uint64_t minPixels = static_cast<uint64_t>(SmallSide) * SmallSide;
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels < minPixels) pixels = minPixels;
  if (pixels > std::numeric_limits<size_t>::max() / 4u) return 0;
  return static_cast<size_t>(pixels * 4u);
}

std::unique_ptr<uint8_t[]> ReadbackTest::allocatePixelBuffer(size_t bytes) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

// glReadPixels over (0, 0, width, height) from freshly cleared buffers, one read a unit.
// Each read completes by itself: no batch end, no glFinish before the timer.
Timed ReadbackTest::timedRead(const SyncMethod& sync, unsigned format, unsigned type, int width,
                              int height) {
  Timed timed;
  timed.spec.step = 1;
  timed.spec.cap = 1000;
  timed.spec.minSeconds = 0.75;
  timed.spec.batchEnd = BatchEnd::None;
  timed.spec.warmupSwap = false;  // no warm-up read: a glFinish only
  timed.spec.finalFinish = false;
  timed.enter = [&sync] { setupReadState(sync); };
  uint8_t* destination = pixelBuffer;
  timed.batch = [=] { glReadPixels(0, 0, width, height, format, type, destination); };
  return timed;
}

void ReadbackTest::run(const RunContext& context) {
  auto window = std::make_unique<TestWindow>(32, true, true);
  failed = window->initFailed;
  window->describeFormat(modeText, sizeof modeText);
  std::unique_ptr<uint8_t[]> buffer;
  if (!failed) {
    const size_t bytes = readbackBufferBytes(screenWidth, screenHeight);
    if (bytes != 0) buffer = allocatePixelBuffer(bytes);
    if (!buffer) {
      // Reading into nothing would write through a null pointer: report it instead.
      failed = true;
      std::snprintf(modeText, sizeof modeText, "%s", PixelBufferErrorText);
    }
  }
  if (!failed) {
    pixelBuffer = buffer.get();
    setupPackState();
    const SyncMethod sync = window->syncMethod();
    std::vector<Timed> set;
    for (int kind = 0; kind < ReadbackKindCount; ++kind)
      set.push_back(timedRead(sync, readbackKinds[kind].format, readbackKinds[kind].type,
                              screenWidth, screenHeight));
    for (int kind = 0; kind < ReadbackKindCount; ++kind)
      set.push_back(timedRead(sync, readbackKinds[kind].format, readbackKinds[kind].type,
                              SmallSide, SmallSide));
    // The progress line names the part a single run is in; rounds visit both at once.
    set[0].enter = [&sync] {
      reportProgress("whole screen", 1, 2);
      setupReadState(sync);
    };
    set[ReadbackKindCount].enter = [&sync] {
      reportProgress("32 x 32", 2, 2);
      setupReadState(sync);
    };
    const std::vector<LoopResult> timed = measureSet(set, Batch(), sync, context);
    for (int kind = 0; kind < ReadbackKindCount; ++kind) {
      wholeRate[kind] = timed[kind].measured(static_cast<double>(screenWidth) * screenHeight);
      smallRate[kind] =
          timed[ReadbackKindCount + kind].measured(static_cast<double>(SmallSide) * SmallSide);
    }
  }
  window.reset();
  pixelBuffer = nullptr;
  buffer.reset();
  hasRun = true;
}

void ReadbackTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  writeGroup(report, "Whole buffer", "Whole32", wholeRate, WholeHtmlText);
  writeGroup(report, "32x32 region", "Small32", smallRate, SmallHtmlText);
}

std::optional<Measured> ReadbackTest::headline() const {
  if (failed) return std::nullopt;
  return wholeRate[0].value > wholeRate[1].value ? wholeRate[0] : wholeRate[1];
}

void ReadbackTest::summary(char* buffer) {
  const double best =
      wholeRate[0].value > wholeRate[1].value ? wholeRate[0].value : wholeRate[1].value;
  std::snprintf(buffer, SummarySize, "%sPix/s", formatDecimal(best).c_str());
}

}  // namespace corvalis
