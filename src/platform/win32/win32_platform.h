#pragma once
// The Windows backend of the platform seam: each operation is the Win32, GDI or WGL
// call it is named after, with the arguments the benchmark was designed around.

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace corvalis {
namespace platform {

class Win32Platform final : public Platform {
 public:
  Win32Platform();

  void setDisplayMode(int width, int height, int bpp) override;
  void restoreDisplayMode() override;

  uint16_t registerWindowClass() override;
  void unregisterWindowClass(uint16_t atom) override;
  WindowHandle createTestWindow(uint16_t classAtom, int width, int height) override;
  void destroyWindow(WindowHandle window) override;
  DeviceContext getDeviceContext(WindowHandle window) override;
  void releaseDeviceContext(WindowHandle window, DeviceContext dc) override;

  int describePixelFormat(DeviceContext dc, int index, PixelFormatDescriptor* out) override;
  bool setPixelFormat(DeviceContext dc, int index, const PixelFormatDescriptor& pfd) override;

  RenderContext createContext(DeviceContext dc) override;
  unsigned lastError() override;
  bool makeCurrent(DeviceContext dc, RenderContext rc) override;
  void deleteContext(RenderContext rc) override;
  bool swapBuffers(DeviceContext dc) override;
  void* getProcAddress(const char* name) override;

  int64_t performanceCounter() override;
  int64_t performanceFrequency() override;
  void sleepMilliseconds(unsigned ms) override;

  void showCursor(bool show) override;
  void messageBox(const char* text, const char* caption) override;
  bool saveFileDialog(const SaveFileRequest& request, char* path, size_t pathSize) override;
  void openWithDefaultApplication(const char* path) override;
  bool setClipboardText(DialogHandle owner, const char* bytes, size_t size) override;

  std::vector<DeviceInfo> listDevices() override;
  bool selectDevice(int index) override;
  std::string backendDescription() override;

 private:
  HINSTANCE instance_;
  // The native descriptor last described, so that SetPixelFormat gets the very record
  // DescribePixelFormat filled for that index.
  PIXELFORMATDESCRIPTOR lastDescriptor_{};
  HDC lastDescriptorDc_ = nullptr;
  int lastDescriptorIndex_ = 0;
};

// The module's window-class name and the test windows' title.
constexpr const char* TestWindowClassName = "Corvalis testing";

}  // namespace platform
}  // namespace corvalis
