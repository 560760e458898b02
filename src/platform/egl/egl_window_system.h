#pragma once
// The window-system side of the EGL backend. The EGL display, its configs and the GL
// context (egl_display.cpp, egl_context.cpp) are the same whatever a test window is; what
// the window is, how its surface is made and shown, and whether it is still there belong
// to a window system behind this interface, one file each: headless pbuffers
// (egl_pbuffer_window.cpp) and X11 windows (egl_x11_window.cpp). The backend holds one,
// chosen once before the first test window.

#include <EGL/egl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/egl/egl_config.h"
#include "platform/platform.h"

namespace corvalis {
namespace platform {

// One test window: its size, its pixel formats once listed, and its surface once the
// format is set; a window system adds its native window. It is its own device context.
struct EglWindow {
  int width = 0;
  int height = 0;
  uintptr_t nativeWindow = 0;      // the window system's window (an X window); 0 for none
  unsigned long nativeVisual = 0;  // the visual the offered configs must share; 0 for any
  bool formatsListed = false;
  std::vector<EGLConfig> configs;  // offered pixel formats; index i + 1
  std::vector<PixelFormatDescriptor> descriptors;
  EGLConfig config = nullptr;      // set by setPixelFormat
  EGLSurface surface = EGL_NO_SURFACE;
  bool surfaceDetached = false;    // the context was taken off the surface of a lost window
};

// The display a window system draws on, as eglGetPlatformDisplayEXT takes it.
struct EglNativeDisplay {
  EGLenum platform = EGL_NONE;          // EGL_NONE: none of its own; the backend picks a device
  void* display = nullptr;
  std::vector<std::string> extensions;  // client extensions, any one of which offers 'platform'
  std::string platformName;             // "X11", for the text when EGL offers none of them
};

class EglWindowSystem {
 public:
  virtual ~EglWindowSystem() = default;

  // The display the EGL display is opened on.
  virtual EglNativeDisplay nativeDisplay() const = 0;
  // What a test window is drawn on; decides which configs are offered.
  virtual EglSurfaceKind surfaceKind() const = 0;
  // The colour depth whose formats a window is offered while the program has set a mode
  // of 'modeBpp' bits (0: the desktop mode).
  virtual int formatDepth(int modeBpp) const = 0;
  // Opens the native window of a test window of its size; false (after saying why on
  // stderr where the user can act on it) when it cannot.
  virtual bool createWindow(EglWindow& window) = 0;
  // The window's surface in 'config'; EGL_NO_SURFACE, with the EGL error in 'error', when
  // there is none.
  virtual EGLSurface createSurface(EGLDisplay display, EglWindow& window, EGLConfig config,
                                   unsigned& error) = 0;
  // Shows the back buffer; false, with the EGL error in 'error', when nothing was shown.
  // Afterwards lost() tells whether the window went away meanwhile.
  virtual bool present(EGLDisplay display, EglWindow& window, unsigned& error) = 0;
  // Closes the native window; its surface is gone already.
  virtual void destroyWindow(EglWindow& window) = 0;
  // False once the window can no longer be drawn in. May ask the server (not for timing).
  virtual bool windowAlive(EglWindow& window) = 0;
  // True once the display went away or another client destroyed a test window: from then
  // on no window is created (the run's later tests fail with "no window").
  virtual bool lost() const = 0;
  // What was lost, for messages ("the X display :0 was lost"); empty while nothing was.
  virtual std::string lossText() const = 0;
  // The refresh rate in Hz of the display that shows the window; 0 when unknown.
  virtual double refreshRate(EglWindow& window) = 0;
  // What windows are drawn on, for texts ("X display :0", "pbuffer").
  virtual std::string description() const = 0;
};

// The colour depth of the desktop mode, whose formats a window is offered when the
// program has set no mode (or cannot switch the screen's).
constexpr int EglDesktopBpp = 32;

// An attribute of a config; 0 when the query fails.
inline EGLint eglConfigAttribute(EGLDisplay display, EGLConfig config, EGLint name) {
  EGLint value = 0;
  if (!eglGetConfigAttrib(display, config, name, &value)) value = 0;
  return value;
}

// Headless: every test window is a pbuffer of its size.
std::unique_ptr<EglWindowSystem> makePbufferWindowSystem();

}  // namespace platform
}  // namespace corvalis
