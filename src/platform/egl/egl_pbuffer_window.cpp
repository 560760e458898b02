// The headless window system of the EGL backend: a test window is a pbuffer of its size
// on a device's display (or Mesa's surfaceless one), and display modes are only recorded.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/egl/egl_window_system.h"

namespace corvalis {
namespace platform {

namespace {

class PbufferWindowSystem final : public EglWindowSystem {
 public:
  // No display of its own: the backend picks a device.
  EglNativeDisplay nativeDisplay() const override { return {}; }
  EglSurfaceKind surfaceKind() const override { return EglSurfaceKind::Pbuffer; }
  // The formats of the mode the program set, as a display switched to it offers them.
  int formatDepth(int modeBpp) const override { return modeBpp > 0 ? modeBpp : EglDesktopBpp; }
  // Only the record of the size: the pbuffer follows once the pixel format is known.
  bool createWindow(EglWindow& /*window*/) override { return true; }
  EGLSurface createSurface(EGLDisplay display, EglWindow& window, EGLConfig config,
                           unsigned& error) override;
  bool present(EGLDisplay display, EglWindow& window, unsigned& error) override;
  void destroyWindow(EglWindow& /*window*/) override {}
  bool windowAlive(EglWindow& /*window*/) override { return true; }
  bool lost() const override { return false; }
  std::string lossText() const override { return std::string(); }
  // No display shows a pbuffer: the caller times swaps instead.
  double refreshRate(EglWindow& /*window*/) override { return 0.0; }
  std::string description() const override { return "pbuffer"; }
};

// A pbuffer size beyond the config's limits fails here, before anything is allocated.
EGLSurface PbufferWindowSystem::createSurface(EGLDisplay display, EglWindow& window,
                                              EGLConfig config, unsigned& error) {
  const int64_t maxWidth = eglConfigAttribute(display, config, EGL_MAX_PBUFFER_WIDTH);
  const int64_t maxHeight = eglConfigAttribute(display, config, EGL_MAX_PBUFFER_HEIGHT);
  const int64_t maxPixels = eglConfigAttribute(display, config, EGL_MAX_PBUFFER_PIXELS);
  const int64_t width = window.width, height = window.height;
  if (width < 1 || height < 1 || width > maxWidth || height > maxHeight ||
      (maxPixels > 0 && width * height > maxPixels)) {
    error = EGL_BAD_MATCH;
    return EGL_NO_SURFACE;
  }
  const EGLint attributes[] = {EGL_WIDTH, window.width, EGL_HEIGHT, window.height, EGL_NONE};
  const EGLSurface surface = eglCreatePbufferSurface(display, config, attributes);
  if (surface == EGL_NO_SURFACE) error = static_cast<unsigned>(eglGetError());
  return surface;
}

bool PbufferWindowSystem::present(EGLDisplay display, EglWindow& window, unsigned& error) {
  if (eglSwapBuffers(display, window.surface) == EGL_TRUE) return true;
  error = static_cast<unsigned>(eglGetError());
  return false;
}

}  // namespace

std::unique_ptr<EglWindowSystem> makePbufferWindowSystem() {
  return std::make_unique<PbufferWindowSystem>();
}

}  // namespace platform
}  // namespace corvalis
