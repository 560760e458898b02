#include "gl/display_config.h"

namespace corvalis {

DisplayConfig* displayConfig = nullptr;
int32_t screenWidth = 0;
int32_t screenHeight = 0;
char driverString[DriverStringSize] = "Dunno";
float refreshRate = 0.0f;
unsigned reportedWidth = 0;
unsigned reportedHeight = 0;

DisplayConfig::DisplayConfig(int width, int height) : width(width), height(height) {
  classAtom = platform::current().registerWindowClass();
  screenWidth = width;
  screenHeight = height;
}

DisplayConfig::~DisplayConfig() {
  restoreDisplayMode();
  platform::current().unregisterWindowClass(classAtom);
}

void DisplayConfig::restoreDisplayMode() {
  if (!modeChanged) return;
  platform::current().restoreDisplayMode();
  modeChanged = false;
  currentBpp = 0;
}

}  // namespace corvalis
