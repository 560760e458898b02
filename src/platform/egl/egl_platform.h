#pragma once
// The Linux backend of the platform seam: EGL on one of two window systems. Headless, a
// test window is a pbuffer of the configured size and display modes are only recorded
// (they decide which configs are offered as pixel formats). On X11 (egl_x11_window.cpp)
// a test window is a borderless X window at the screen's top-left corner, drawn through
// EGL's X11 platform; the screen's mode is never switched. The dialogs of the Windows
// program do not exist.

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvalis {
namespace platform {

// One test window: a pbuffer once its pixel format is set, or an X window with an EGL
// window surface on it. It is its own device context.
struct EglWindow {
  int width = 0;
  int height = 0;
  unsigned long xWindow = 0;       // X11: the window (0 headless)
  unsigned long xVisualId = 0;     // X11: its visual, which the offered configs must share
  bool formatsListed = false;
  std::vector<EGLConfig> configs;  // offered pixel formats; index i + 1
  std::vector<PixelFormatDescriptor> descriptors;
  EGLConfig config = nullptr;      // set by setPixelFormat
  EGLSurface surface = EGL_NO_SURFACE;
};

class EglPlatform final : public Platform {
 public:
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

  // From now on test windows are X11 windows on this display (an Xlib Display*, kept
  // open for the life of the process), named 'name' in texts.
  void useX11Display(void* display, const std::string& name);
  bool usesX11() const { return xDisplay_ != nullptr; }
  bool displayLost() override { return xLost_; }

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
  // The EGL display on the X server; false with description_ set when there is none.
  bool openX11Display();
  // X11 window system (egl_x11_window.cpp): the window at (0, 0), its removal, its
  // surface, and the refresh rate of the output that shows it.
  bool createX11Window(EglWindow& window);
  void destroyX11Window(EglWindow& window);
  EGLSurface createX11Surface(EglWindow& window, EGLConfig config);
  double x11RefreshRate(const EglWindow& window);
  // True, with xLost_ set and the loss told on stderr once, when the server connection
  // has broken. Mesa draws through xcb without telling Xlib, so a swap goes on
  // regardless; 'roundTrip' first asks the server something through xcb, so that a
  // server gone quiet is found before Xlib touches the connection (Xlib's own way to
  // learn of it ends the process).
  bool x11ConnectionLost(bool roundTrip);

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

  void* xDisplay_ = nullptr;           // X11 window system: the open Display; null headless
  std::string xDisplayName_;
  bool xLost_ = false;                 // the X connection broke: no Xlib or EGL call on it
};

}  // namespace platform
}  // namespace corvalis
