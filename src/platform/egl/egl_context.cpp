// The EGL side of a test window, whatever window system draws it: its pixel formats (EGL
// configs), its surface and the GL context on it, and the swaps that show it.

#include <GL/gl.h>

#include <cstring>
#include <memory>

#include "platform/egl/egl_config.h"
#include "platform/egl/egl_platform.h"

namespace corvalis {
namespace platform {

namespace {

EglWindow* asWindow(void* handle) { return static_cast<EglWindow*>(handle); }

EglConfigInfo configInfo(EGLDisplay display, EGLConfig config, bool floatQuery,
                         unsigned long windowVisual) {
  auto get = [=](EGLint name) { return eglConfigAttribute(display, config, name); };
  EglConfigInfo info;
  info.bufferSize = get(EGL_BUFFER_SIZE);
  info.redBits = get(EGL_RED_SIZE);
  info.greenBits = get(EGL_GREEN_SIZE);
  info.blueBits = get(EGL_BLUE_SIZE);
  info.alphaBits = get(EGL_ALPHA_SIZE);
  info.depthBits = get(EGL_DEPTH_SIZE);
  info.stencilBits = get(EGL_STENCIL_SIZE);
  info.samples = get(EGL_SAMPLES);
  const EGLint surfaces = get(EGL_SURFACE_TYPE);
  info.pbuffer = (surfaces & EGL_PBUFFER_BIT) != 0;
  info.window = (surfaces & EGL_WINDOW_BIT) != 0;
  info.windowVisual = windowVisual != 0 &&
                      static_cast<unsigned long>(get(EGL_NATIVE_VISUAL_ID)) == windowVisual;
  info.openGl = (get(EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) != 0;
  info.rgbBuffer = get(EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER;
  info.floatComponents =
      floatQuery && get(EGL_COLOR_COMPONENT_TYPE_EXT) == EGL_COLOR_COMPONENT_TYPE_FLOAT_EXT;
  info.slowCaveat = get(EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG;
  return info;
}

}  // namespace

// EGL has no window classes; a non-zero atom lets window creation go ahead.
uint16_t EglPlatform::registerWindowClass() { return 1; }

void EglPlatform::unregisterWindowClass(uint16_t /*atom*/) {}

// The record of the size and the window system's native window (none for a pbuffer,
// whose surface follows once the pixel format is known). Fails (so the window reads "no
// window") when EGL cannot be initialised at all or the window system cannot open one.
WindowHandle EglPlatform::createTestWindow(uint16_t classAtom, int width, int height) {
  if (classAtom == 0 || !ensureDisplay()) return nullptr;
  auto window = std::make_unique<EglWindow>();
  window->width = width;
  window->height = height;
  if (!windowSystem_->createWindow(*window)) return nullptr;
  return window.release();
}

void EglPlatform::destroyWindow(WindowHandle handle) {
  std::unique_ptr<EglWindow> window(asWindow(handle));
  if (!window) return;
  if (window->surface != EGL_NO_SURFACE) eglDestroySurface(display_, window->surface);
  windowSystem_->destroyWindow(*window);
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
  const int bpp = windowSystem_->formatDepth(modeBpp_);
  const EglSurfaceKind kind = windowSystem_->surfaceKind();
  for (EGLConfig config : all) {
    PixelFormatDescriptor pfd;
    if (!describeEglConfig(configInfo(display_, config, floatQuery, window.nativeVisual), bpp,
                           &pfd, kind))
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

// The window system makes the window's surface in the chosen config.
bool EglPlatform::setPixelFormat(DeviceContext dc, int index, const PixelFormatDescriptor&) {
  EglWindow* window = asWindow(dc);
  if (!window || window->surface != EGL_NO_SURFACE) return false;
  listFormats(*window);
  if (index < 1 || index > static_cast<int>(window->configs.size())) return false;
  EGLConfig config = window->configs[static_cast<size_t>(index - 1)];
  window->surface = windowSystem_->createSurface(display_, *window, config, lastError_);
  if (window->surface == EGL_NO_SURFACE) return false;
  window->config = config;
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
  // NOTE: Mesa's software rasteriser crashes binding a surface whose X window another
  // client destroyed (it reads the window's size as 0 x 0); so the window is looked at first.
  if (rc && window && !windowSystem_->windowAlive(*window)) {
    lastError_ = EGL_BAD_NATIVE_WINDOW;
    return false;
  }
  const EGLSurface surface = window ? window->surface : EGL_NO_SURFACE;
  if (!eglMakeCurrent(display_, surface, surface, rc ? static_cast<EGLContext>(rc) : EGL_NO_CONTEXT)) {
    fail();
    return false;
  }
  // A window surface starts with swap interval 1; swaps must not wait for the retrace,
  // as the test windows of the Windows program set interval 0 after context creation.
  if (rc && window && windowSystem_->surfaceKind() == EglSurfaceKind::Window)
    eglSwapInterval(display_, 0);
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
  const bool shown = windowSystem_->present(display_, *window, lastError_);
  if (windowSystem_->lost()) detachSurface(*window);
  glFlush();
  return shown;
}

// NOTE: once an X window is gone, Mesa's software rasteriser reads its size as 0 x 0 at
// the first call after a swap that looks at the framebuffer, and crashes there
// (glReadPixels). The context stays current without a surface (EGL_KHR_surfaceless_context;
// without that extension no context stays current), so that what the running test still
// draws goes nowhere until the run replaces its result.
void EglPlatform::detachSurface(EglWindow& window) {
  if (window.surfaceDetached) return;
  window.surfaceDetached = true;
  const EGLContext context = eglGetCurrentContext();
  if (context != EGL_NO_CONTEXT && eglGetCurrentSurface(EGL_DRAW) == window.surface &&
      !eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
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
  return window ? windowSystem_->refreshRate(*window) : 0.0;
}

}  // namespace platform
}  // namespace corvalis
