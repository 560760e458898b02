#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

int64_t Win32Platform::performanceCounter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

int64_t Win32Platform::performanceFrequency() {
  LARGE_INTEGER value;
  QueryPerformanceFrequency(&value);
  return value.QuadPart;
}

void Win32Platform::sleepMilliseconds(unsigned ms) { Sleep(ms); }

}  // namespace platform
}  // namespace corvalis
