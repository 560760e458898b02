#pragma once
// The Linux backend of the platform seam: EGL displays, configs and contexts, drawing on a
// window system (egl_window_system.h) chosen before the first test window: headless
// pbuffers by default, X11 windows when the entry point asks for them. Headless, display
// modes are only recorded (they decide which configs are offered as pixel formats); an X
// screen's mode is never switched. The dialogs of the Windows program do not exist.

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/egl/egl_window_system.h"
#include "platform/platform.h"

namespace corvalis {
namespace platform {

class EglPlatform final : public Platform {
 public:
  EglPlatform();

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
  double displayRefreshRate(WindowHandle window) override;

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

  // Test windows are drawn through this window system from now on; the EGL display is
  // opened afresh on its display.
  void useWindowSystem(std::unique_ptr<EglWindowSystem> system);
  const EglWindowSystem& windowSystem() const { return *windowSystem_; }
  bool displayLost() override { return windowSystem_->lost(); }

 private:
  enum class DisplayState { Untried, Ready, Unusable };

  // Opens and initialises the display on first use; false when EGL is unusable.
  bool ensureDisplay();
  // Tries one display: initialise it and bind desktop OpenGL; records what went wrong.
  bool openDisplay(EGLDisplay display, const std::string& where);
  void enumerateDevices();
  // The offered configs of the window for the recorded display mode, listed once.
  void listFormats(EglWindow& window);
  void fail() { lastError_ = static_cast<unsigned>(eglGetError()); }
  // The EGL display on the window system's own display; false with description_ set
  // when there is none.
  bool openNativeDisplay(const EglNativeDisplay& native);
  // Takes the current context off the surface of a window that went away.
  void detachSurface(EglWindow& window);

  DisplayState state_ = DisplayState::Untried;
  EGLDisplay display_ = EGL_NO_DISPLAY;
  std::string description_;
  bool createContextAttribs_ = false;  // EGL 1.5 or EGL_KHR_create_context
  unsigned lastError_ = 0;
  int modeBpp_ = 0;                    // 0: the desktop mode

  bool devicesEnumerated_ = false;
  std::vector<EGLDeviceEXT> devices_;
  std::vector<DeviceInfo> deviceInfo_;
  int selectedDevice_ = -1;            // -1: the first hardware device, else surfaceless

  std::unique_ptr<EglWindowSystem> windowSystem_;
};

// The native backend itself, for the entry point's choice of window system.
EglPlatform& eglPlatform();

}  // namespace platform
}  // namespace corvalis
