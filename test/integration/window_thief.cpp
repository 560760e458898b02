// Another client's hostile timing made exact, loaded with LD_PRELOAD by the integration
// tests: after the program's swap number $CORVALIS_THIEF_SWAP, just before its next
// glReadPixels, a second connection to the program's X display destroys the window of
// the surface swapped and waits until the server has done it. The window of each surface
// is taken from eglCreateWindowSurface; every call is passed on untouched.

#include <EGL/egl.h>
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <map>

namespace {

std::map<EGLSurface, Window> windows;  // the X window of each window surface
int swaps = 0;
EGLSurface target = EGL_NO_SURFACE;  // the surface whose window goes at the next read

template <typename Function>
Function real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" EGLSurface eglCreateWindowSurface(EGLDisplay display, EGLConfig config,
                                             EGLNativeWindowType window, const EGLint* attributes) {
  using Create = EGLSurface (*)(EGLDisplay, EGLConfig, EGLNativeWindowType, const EGLint*);
  static const Create create = real<Create>("eglCreateWindowSurface");
  const EGLSurface surface = create(display, config, window, attributes);
  if (surface != EGL_NO_SURFACE) windows[surface] = static_cast<Window>(window);
  return surface;
}

extern "C" EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface) {
  using Swap = EGLBoolean (*)(EGLDisplay, EGLSurface);
  static const Swap swap = real<Swap>("eglSwapBuffers");
  const char* number = std::getenv("CORVALIS_THIEF_SWAP");
  if (++swaps == (number ? std::atoi(number) : 0)) target = surface;
  return swap(display, surface);
}

extern "C" void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                             GLenum type, void* pixels) {
  using Read = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
  static const Read read = real<Read>("glReadPixels");
  if (target != EGL_NO_SURFACE) {
    const auto found = windows.find(target);
    Display* other = XOpenDisplay(nullptr);
    // The test must not pass on a theft that did not happen.
    if (found == windows.end() || !other) std::_Exit(98);
    XDestroyWindow(other, found->second);
    XSync(other, False);
    XCloseDisplay(other);
    target = EGL_NO_SURFACE;
  }
  read(x, y, width, height, format, type, pixels);
}
