// Counters and the user-interface services of the console program.

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

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

// A message box on a console is one line on stderr. A text can hold a path the user
// gave, so a control character in it is shown as \xHH and cannot start a new line or
// steer the terminal.
void EglPlatform::messageBox(const char* text, const char* caption) {
  std::string line = std::string(caption ? caption : "") + ": ";
  for (const char* p = text ? text : ""; *p != '\0'; ++p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    line += byte < 0x20 || byte == 0x7F ? std::string(escaped) : std::string(1, *p);
  }
  std::fprintf(stderr, "%s\n", line.c_str());
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
