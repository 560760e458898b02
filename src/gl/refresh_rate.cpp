// The display's refresh rate, measured on a test window: what the run cycle's probe
// window and the Bandwidth test's scan-out figure use.

#include "gl/refresh_rate.h"

#include "framework/measurement_loop.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "platform/platform.h"

namespace corvalis {

namespace {

// Only a rate strictly between these is believed; a faster one means the swaps did not
// wait for the retrace.
constexpr float LowestRate = 45.0f;
constexpr float HighestRate = 220.0f;

// Up to 200 swaps or one second; every iteration is one swap and nothing else.
LoopSpec refreshLoop() {
  LoopSpec spec;
  spec.step = 1;
  spec.cap = 200;
  spec.minSeconds = 1.0;
  spec.batchEnd = BatchEnd::None;
  spec.warmupSwap = false;
  return spec;
}

bool plausibleRate(float rate) { return rate < HighestRate && rate > LowestRate; }

}  // namespace

// The rate the display reports for the window's output where it reports one (an X
// window); otherwise times up to 200 swaps with vertical sync on (where it can be
// switched on). 0 when the result is no plausible refresh rate.
void measureRefreshRate(const TestWindow& window) {
  if (window.initFailed) return;
  const float reported =
      static_cast<float>(platform::current().displayRefreshRate(window.window));
  if (plausibleRate(reported)) {
    refreshRate = reported;
    return;
  }
  // Three coloured frames bring the swap chain up; then every swap waits for the
  // retrace where the driver lets us ask for that.
  auto warmup = [&window] {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const GLfloat colors[3][4] = {
        {0.5f, 0.125f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.125f, 1.0f}, {0.125f, 0.125f, 0.5f, 1.0f}};
    for (const auto& color : colors) {
      glClearColor(color[0], color[1], color[2], color[3]);
      glClear(GL_COLOR_BUFFER_BIT);
      window.swapBuffers();
    }
    glFinish();
    if (window.caps.swapControl) window.caps.wglSwapIntervalEXT(1);
  };
  auto swap = [&window] { window.swapBuffers(); };
  LoopResult swaps = runMeasurementLoop(refreshLoop(), window.syncMethod(), swap, warmup);
  refreshRate = static_cast<float>(swaps.rate(1.0));
  if (!plausibleRate(refreshRate)) refreshRate = 0.0f;

  if (window.caps.swapControl) window.caps.wglSwapIntervalEXT(0);
}

}  // namespace corvalis
