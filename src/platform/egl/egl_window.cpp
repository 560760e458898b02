// Test windows (pbuffers, or X11 windows through egl_x11_window.cpp), their pixel formats
// (EGL configs) and the GL context on them.

#include <GL/gl.h>

#include <cstring>

#include "platform/egl/egl_config.h"
#include "platform/egl/egl_platform.h"

namespace corvalis {
namespace platform {

namespace {

// The colour depth of the desktop mode, when the program has not set one.
constexpr int DesktopBpp = 32;

EglWindow* asWindow(void* handle) { return static_cast<EglWindow*>(handle); }

EGLint attribute(EGLDisplay display, EGLConfig config, EGLint name) {
  EGLint value = 0;
  if (!eglGetConfigAttrib(display, config, name, &value)) value = 0;
  return value;
}

EglConfigInfo configInfo(EGLDisplay display, EGLConfig config, bool floatQuery,
                         unsigned long windowVisual) {
  EglConfigInfo info;
  info.bufferSize = attribute(display, config, EGL_BUFFER_SIZE);
  info.redBits = attribute(display, config, EGL_RED_SIZE);
  info.greenBits = attribute(display, config, EGL_GREEN_SIZE);
  info.blueBits = attribute(display, config, EGL_BLUE_SIZE);
  info.alphaBits = attribute(display, config, EGL_ALPHA_SIZE);
  info.depthBits = attribute(display, config, EGL_DEPTH_SIZE);
  info.stencilBits = attribute(display, config, EGL_STENCIL_SIZE);
  info.samples = attribute(display, config, EGL_SAMPLES);
  const EGLint surfaces = attribute(display, config, EGL_SURFACE_TYPE);
  info.pbuffer = (surfaces & EGL_PBUFFER_BIT) != 0;
  info.window = (surfaces & EGL_WINDOW_BIT) != 0;
  info.windowVisual =
      windowVisual != 0 &&
      static_cast<unsigned long>(attribute(display, config, EGL_NATIVE_VISUAL_ID)) == windowVisual;
  info.openGl = (attribute(display, config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) != 0;
  info.rgbBuffer = attribute(display, config, EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER;
  info.floatComponents =
      floatQuery && attribute(display, config, EGL_COLOR_COMPONENT_TYPE_EXT) ==
                        EGL_COLOR_COMPONENT_TYPE_FLOAT_EXT;
  info.slowCaveat = attribute(display, config, EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG;
  return info;
}

}  // namespace

// EGL has no window classes; a non-zero atom lets window creation go ahead.
uint16_t EglPlatform::registerWindowClass() { return 1; }

void EglPlatform::unregisterWindowClass(uint16_t /*atom*/) {}

// Headless, only a record of the size: the pbuffer follows once the pixel format is
// known. On X11 the window itself opens here. Fails (so the window reads "no window")
// when EGL cannot be initialised at all or the X window cannot be opened.
WindowHandle EglPlatform::createTestWindow(uint16_t classAtom, int width, int height) {
  if (classAtom == 0 || !ensureDisplay()) return nullptr;
  auto* window = new EglWindow;
  window->width = width;
  window->height = height;
  if (usesX11() && !createX11Window(*window)) {
    delete window;
    return nullptr;
  }
  return window;
}

void EglPlatform::destroyWindow(WindowHandle handle) {
  EglWindow* window = asWindow(handle);
  if (!window) return;
  if (window->surface != EGL_NO_SURFACE) eglDestroySurface(display_, window->surface);
  if (window->xWindow) destroyX11Window(*window);
  delete window;
}

DeviceContext EglPlatform::getDeviceContext(WindowHandle window) { return window; }

void EglPlatform::releaseDeviceContext(WindowHandle /*window*/, DeviceContext /*dc*/) {}

void EglPlatform::listFormats(EglWindow& window) {
  if (window.formatsListed) return;
  window.formatsListed = true;
  EGLint count = 0;
  if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) return;
  std::vector<EGLConfig> all(static_cast<size_t>(count));
  if (!eglGetConfigs(display_, all.data(), count, &count)) return;
  all.resize(static_cast<size_t>(count));
  const char* extensions = eglQueryString(display_, EGL_EXTENSIONS);
  const bool floatQuery = extensions && std::strstr(extensions, "EGL_EXT_pixel_format_float");
  // NOTE: the X screen keeps its mode (no mode switching), so an X window is offered
  // the formats of the desktop's depth whatever mode was asked for, as a display whose
  // mode change failed would offer them.
  const int bpp = usesX11() ? DesktopBpp : modeBpp_ > 0 ? modeBpp_ : DesktopBpp;
  const EglSurfaceKind kind = usesX11() ? EglSurfaceKind::Window : EglSurfaceKind::Pbuffer;
  for (EGLConfig config : all) {
    PixelFormatDescriptor pfd;
    if (!describeEglConfig(configInfo(display_, config, floatQuery, window.xVisualId), bpp, &pfd,
                           kind))
      continue;
    window.configs.push_back(config);
    window.descriptors.push_back(pfd);
  }
}

int EglPlatform::describePixelFormat(DeviceContext dc, int index, PixelFormatDescriptor* out) {
  EglWindow* window = asWindow(dc);
  if (!window) return 0;
  listFormats(*window);
  const int count = static_cast<int>(window->descriptors.size());
  if (out && index >= 1 && index <= count) *out = window->descriptors[static_cast<size_t>(index - 1)];
  return count;
}

// Creates the pbuffer (or the X window's surface) in the chosen config; a pbuffer size
// beyond the config's limits fails here, before anything is allocated.
bool EglPlatform::setPixelFormat(DeviceContext dc, int index, const PixelFormatDescriptor&) {
  EglWindow* window = asWindow(dc);
  if (!window || window->surface != EGL_NO_SURFACE) return false;
  listFormats(*window);
  if (index < 1 || index > static_cast<int>(window->configs.size())) return false;
  EGLConfig config = window->configs[static_cast<size_t>(index - 1)];
  if (window->xWindow) {
    window->surface = createX11Surface(*window, config);
    if (window->surface == EGL_NO_SURFACE) return false;
    window->config = config;
    return true;
  }
  const int64_t maxWidth = attribute(display_, config, EGL_MAX_PBUFFER_WIDTH);
  const int64_t maxHeight = attribute(display_, config, EGL_MAX_PBUFFER_HEIGHT);
  const int64_t maxPixels = attribute(display_, config, EGL_MAX_PBUFFER_PIXELS);
  const int64_t width = window->width, height = window->height;
  if (width < 1 || height < 1 || width > maxWidth || height > maxHeight ||
      (maxPixels > 0 && width * height > maxPixels)) {
    lastError_ = EGL_BAD_MATCH;
    return false;
  }
  const EGLint attributes[] = {EGL_WIDTH, window->width, EGL_HEIGHT, window->height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display_, config, attributes);
  if (surface == EGL_NO_SURFACE) {
    fail();
    return false;
  }
  window->config = config;
  window->surface = surface;
  return true;
}

// A compatibility-profile context (fixed function, display lists, immediate mode).
RenderContext EglPlatform::createContext(DeviceContext dc) {
  EglWindow* window = asWindow(dc);
  if (!window || window->surface == EGL_NO_SURFACE) {
    lastError_ = EGL_BAD_CONFIG;
    return nullptr;
  }
  EGLContext context = EGL_NO_CONTEXT;
  if (createContextAttribs_) {
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display_, window->config, EGL_NO_CONTEXT, compatibility);
  }
  if (context == EGL_NO_CONTEXT)
    context = eglCreateContext(display_, window->config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) {
    fail();
    return nullptr;
  }
  return context;
}

unsigned EglPlatform::lastError() { return lastError_; }

bool EglPlatform::makeCurrent(DeviceContext dc, RenderContext rc) {
  if (state_ != DisplayState::Ready) {
    lastError_ = EGL_NOT_INITIALIZED;
    return false;
  }
  EglWindow* window = asWindow(dc);
  const EGLSurface surface = window ? window->surface : EGL_NO_SURFACE;
  if (!eglMakeCurrent(display_, surface, surface, rc ? static_cast<EGLContext>(rc) : EGL_NO_CONTEXT)) {
    fail();
    return false;
  }
  // A window surface starts with swap interval 1; swaps must not wait for the retrace,
  // as the test windows of the Windows program set interval 0 after context creation.
  if (rc && window && window->xWindow) eglSwapInterval(display_, 0);
  return true;
}

void EglPlatform::deleteContext(RenderContext rc) {
  if (rc && state_ == DisplayState::Ready) eglDestroyContext(display_, static_cast<EGLContext>(rc));
}

// NOTE: Mesa's eglSwapBuffers returns at once for a pbuffer without flushing the
// context, yet a swap must complete the batch it ends; glFlush pushes the queued work.
bool EglPlatform::swapBuffers(DeviceContext dc) {
  EglWindow* window = asWindow(dc);
  if (!window || window->surface == EGL_NO_SURFACE) return false;
  bool swapped = false;
  if (window->xWindow && xLost_) {
    lastError_ = EGL_BAD_NATIVE_WINDOW;
  } else {
    swapped = eglSwapBuffers(display_, window->surface) == EGL_TRUE;
    if (!swapped) fail();
    if (window->xWindow && x11ConnectionLost(false)) swapped = false;
  }
  glFlush();
  return swapped;
}

// EGL has no WGL extension-string query, so no wgl* name resolves: the GL extension
// string never lists WGL_EXT_swap_control, so a swap-interval entry would go unused. A
// window's interval is held at 0 by makeCurrent, and its refresh rate comes from the
// display (displayRefreshRate) rather than from swaps that wait for the retrace.
// eglGetProcAddress answers even for functions the driver lacks; the extension string
// decides whether one is used.
void* EglPlatform::getProcAddress(const char* name) {
  if (!name || std::strncmp(name, "wgl", 3) == 0) return nullptr;
  return reinterpret_cast<void*>(eglGetProcAddress(name));
}

double EglPlatform::displayRefreshRate(WindowHandle handle) {
  EglWindow* window = asWindow(handle);
  return window && window->xWindow ? x11RefreshRate(*window) : 0.0;
}

}  // namespace platform
}  // namespace corvalis
