// Counters and the user-interface services of the console program.

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/egl/egl_platform.h"

namespace corvalis {
namespace platform {

int64_t EglPlatform::performanceCounter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t EglPlatform::performanceFrequency() { return 1000000000; }

void EglPlatform::sleepMilliseconds(unsigned ms) {
  timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

// There is no cursor on a headless display.
void EglPlatform::showCursor(bool /*show*/) {}

void EglPlatform::messageBox(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

// The console program takes its file names from the command line.
bool EglPlatform::saveFileDialog(const SaveFileRequest& /*request*/, char* /*path*/,
                                 size_t /*pathSize*/) {
  return false;
}

void EglPlatform::openWithDefaultApplication(const char* /*path*/) {}

bool EglPlatform::setClipboardText(DialogHandle /*owner*/, const char* /*bytes*/,
                                   size_t /*size*/) {
  return false;
}

}  // namespace platform
}  // namespace corvalis
