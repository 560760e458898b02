// What the run cycle records from its probe window besides the refresh rate: the
// driver text and the resolution.

#include <cstdio>

#include "app/system_info.h"
#include "gl/display_config.h"
#include "gl/window.h"

namespace corvalis {

void recordDriverInfo(const TestWindow& window) {
  if (window.initFailed) {
    std::snprintf(driverString, DriverStringSize, "%s", GlInitFailedText);
    return;
  }
  recordDriverString();
  if (displayConfig) {
    reportedWidth = static_cast<unsigned>(displayConfig->width);
    reportedHeight = static_cast<unsigned>(displayConfig->height);
  }
}

}  // namespace corvalis
