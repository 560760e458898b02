#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

uint16_t Win32Platform::registerWindowClass() {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = CS_OWNDC | CS_NOCLOSE;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = TestWindowClassName;
  return RegisterClassA(&windowClass);
}

void Win32Platform::unregisterWindowClass(uint16_t atom) {
  UnregisterClassA(MAKEINTATOM(atom), instance_);
}

WindowHandle Win32Platform::createTestWindow(uint16_t classAtom, int width, int height) {
  HWND window = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_TOPMOST, MAKEINTATOM(classAtom),
                                TestWindowClassName, WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                nullptr, nullptr, instance_, nullptr);
  if (window) ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

void Win32Platform::destroyWindow(WindowHandle window) {
  DestroyWindow(static_cast<HWND>(window));
}

DeviceContext Win32Platform::getDeviceContext(WindowHandle window) {
  return GetDC(static_cast<HWND>(window));
}

void Win32Platform::releaseDeviceContext(WindowHandle window, DeviceContext dc) {
  ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(dc));
}

}  // namespace platform
}  // namespace corvalis
