#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

Win32Platform::Win32Platform() : instance_(GetModuleHandleA(nullptr)) {}

// The system's OpenGL driver behind opengl32 is the only device; it cannot be chosen.
std::vector<DeviceInfo> Win32Platform::listDevices() {
  return {DeviceInfo{"OpenGL driver (opengl32)", true}};
}

bool Win32Platform::selectDevice(int index) { return index == 0; }

std::string Win32Platform::backendDescription() { return "Win32 / WGL (opengl32)"; }

Platform& native() {
  static Win32Platform backend;
  return backend;
}

}  // namespace platform
}  // namespace corvalis
