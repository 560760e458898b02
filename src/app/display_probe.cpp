// The two measurements the run cycle makes on its probe window: the display's refresh
// rate and the driver text.

#include <cstdio>

#include "app/system_info.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "gl/gl_caps.h"
#include "gl/test_window.h"
#include "platform/gl_include.h"

namespace corvalis {

namespace {

constexpr int MaxSwaps = 200;
constexpr double MinSeconds = 1.0;
// Only a rate strictly between these is believed; a faster one means the swaps did not
// wait for the retrace.
constexpr float LowestRate = 45.0f;
constexpr float HighestRate = 220.0f;

const char* glText(GLenum name) {
  const char* text = reinterpret_cast<const char*>(glGetString(name));
  return text ? text : "";
}

}  // namespace

// Times up to 200 swaps with vertical sync on (where it can be switched on); 0 when the
// result is no plausible refresh rate.
void measureRefreshRate(const TestWindow& window) {
  if (window.initFailed) return;
  CycleTimer cycles;
  PerfTimer perf;

  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const GLfloat colors[3][4] = {
      {0.5f, 0.125f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.125f, 1.0f}, {0.125f, 0.125f, 0.5f, 1.0f}};
  for (const auto& color : colors) {
    glClearColor(color[0], color[1], color[2], color[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    window.swapBuffers();
  }
  glFinish();
  if (glCaps.swapControl) glCaps.wglSwapIntervalEXT(1);

  perf.restart();
  cycles.restart();
  int swaps = 0;
  do {
    window.swapBuffers();
    ++swaps;
  } while (swaps < MaxSwaps && cycles.elapsed() < MinSeconds);
  glFinish();
  refreshRate = static_cast<float>(swaps / perf.elapsed());
  if (!(refreshRate < HighestRate) || !(refreshRate > LowestRate)) refreshRate = 0.0f;

  if (glCaps.swapControl) glCaps.wglSwapIntervalEXT(0);
}

void recordDriverInfo(const TestWindow& window) {
  if (window.initFailed) {
    std::snprintf(driverString, DriverStringSize, "GL initialization failed ...");
    return;
  }
  std::snprintf(driverString, DriverStringSize, "%s v%s", glText(GL_RENDERER), glText(GL_VERSION));
  if (displayConfig) {
    reportedWidth = static_cast<unsigned>(displayConfig->width);
    reportedHeight = static_cast<unsigned>(displayConfig->height);
  }
}

}  // namespace corvalis
