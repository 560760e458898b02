#pragma once
// The one display configuration of the process, and the process-wide values that
// outlive test windows (driver text, refresh rate, reported resolution).

#include <cstdint>

#include "platform/platform.h"

namespace corvalis {

class DisplayConfig {
 public:
  // Registers the test window class and publishes width and height as the configured
  // screen size.
  DisplayConfig(int width, int height);
  // Restores the display mode and unregisters the window class.
  ~DisplayConfig();
  DisplayConfig(const DisplayConfig&) = delete;
  DisplayConfig& operator=(const DisplayConfig&) = delete;

  // Back to the desktop mode when this program changed it.
  void restoreDisplayMode();

  int32_t maxBpp = 32;       // upper bound for a window's colour depth
  bool swapSync = true;      // true: timed batches end with a swap; false: glFlush
  int32_t formatMode = 0;    // 0: hardware-accelerated pixel formats only
  int32_t currentBpp = 0;    // depth of the mode last set; 0 = desktop untouched
  int32_t width = 0;
  int32_t height = 0;
  bool modeChanged = false;
  uint16_t classAtom = 0;
};

// The one DisplayConfig, created by the entry point.
extern DisplayConfig* displayConfig;

// Configured screen size, published by the DisplayConfig constructor.
extern int32_t screenWidth;
extern int32_t screenHeight;

// Renderer and version of the last window's context, or its failure text.
constexpr size_t DriverStringSize = 512;
extern char driverString[DriverStringSize];
// Measured refresh rate in Hz; 0 = unknown (85 Hz is then assumed).
extern float refreshRate;
// The resolution the information section reports.
extern unsigned reportedWidth;
extern unsigned reportedHeight;

}  // namespace corvalis
