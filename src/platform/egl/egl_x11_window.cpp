// The X11 window system of the EGL backend: the display connection and its error
// handlers, test windows as borderless X windows at the screen's top-left corner drawn
// through EGL's X11 platform, the watch for a display or window that goes away, and the
// refresh rate of the output that shows them.

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <GL/gl.h>
#include <xcb/present.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "platform/egl/egl_platform.h"
#include "platform/egl/egl_window_choice.h"
#include "platform/egl/egl_window_system.h"
#include "platform/egl/x11_refresh.h"

namespace corvalis {
namespace platform {

namespace {

// Exit status of a run whose display went away: a selected test could not finish.
constexpr int ExitDisplayLost = 3;
// Retraces the Present counter is watched for, and how long that may take at most.
constexpr uint64_t MscSpan = 20;
constexpr double MscTimeoutSeconds = 1.0;

std::string displayName;
int lastXError = 0;  // error code of the last X protocol error; 0 none

// Protocol errors (a window that vanished, a refused request) are recorded, never fatal;
// the calls that care look at lastXError after a round trip.
int recordXError(Display* /*display*/, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

// NOTE: Xlib does not let a program go on after its connection broke (the handler must
// not return). The window system finds a broken connection through xcb first and then
// stays off Xlib (connectionLost); this handler is the last resort for a server that
// goes away between that check and an Xlib call.
int exitOnLostDisplay(Display* /*display*/) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "corvalis: the X display %s was lost during the run; stopping without writing "
               "the report\n",
               displayName.c_str());
  std::exit(ExitDisplayLost);
}

double secondsNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The rate of the mode scanned out by the CRTC that shows the window's top-left pixel.
double randrRefreshRate(Display* display) {
  int eventBase = 0, errorBase = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase)) return 0.0;
  XRRScreenResources* resources =
      XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
  if (!resources) return 0.0;
  double rate = 0.0;
  for (int c = 0; c < resources->ncrtc && rate == 0.0; ++c) {
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
    if (!crtc) continue;
    const bool showsOrigin = crtc->mode != None && crtc->x <= 0 && crtc->y <= 0 &&
                             crtc->x + static_cast<int>(crtc->width) > 0 &&
                             crtc->y + static_cast<int>(crtc->height) > 0;
    for (int m = 0; showsOrigin && m < resources->nmode; ++m) {
      const XRRModeInfo& info = resources->modes[m];
      if (info.id != crtc->mode) continue;
      ModeTiming timing;
      timing.dotClock = info.dotClock;
      timing.hTotal = info.hTotal;
      timing.vTotal = info.vTotal;
      timing.interlace = (info.modeFlags & RR_Interlace) != 0;
      timing.doubleScan = (info.modeFlags & RR_DoubleScan) != 0;
      rate = refreshFromModeTiming(timing);
    }
    XRRFreeCrtcInfo(crtc);
  }
  XRRFreeScreenResources(resources);
  return rate;
}

// Waits for the next Present completion event of the window; false on timeout or a
// broken connection.
bool nextMscSample(xcb_connection_t* connection, xcb_special_event_t* queue, double deadline,
                   MscSample& sample) {
  while (secondsNow() < deadline && !xcb_connection_has_error(connection)) {
    xcb_generic_event_t* event = xcb_poll_for_special_event(connection, queue);
    if (!event) {
      const timespec pause{0, 1000000};
      nanosleep(&pause, nullptr);
      continue;
    }
    auto* generic = reinterpret_cast<xcb_present_generic_event_t*>(event);
    bool done = false;
    if (generic->evtype == XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
      auto* complete = reinterpret_cast<xcb_present_complete_notify_event_t*>(event);
      sample.msc = complete->msc;
      sample.ustMicroseconds = complete->ust;
      done = true;
    }
    std::free(event);
    if (done) return true;
  }
  return false;
}

// The server's retrace counter over a few retraces: what the display really runs at
// where its mode carries no timing (a virtual server paces Present by its own clock).
double presentRefreshRate(Display* display, Window window) {
  xcb_connection_t* connection = XGetXCBConnection(display);
  const xcb_query_extension_reply_t* present =
      xcb_get_extension_data(connection, &xcb_present_id);
  if (!present || !present->present) return 0.0;
  const uint32_t eventId = xcb_generate_id(connection);
  xcb_special_event_t* queue =
      xcb_register_for_special_xge(connection, &xcb_present_id, eventId, nullptr);
  if (!queue) return 0.0;
  xcb_present_select_input(connection, eventId, static_cast<xcb_window_t>(window),
                           XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  const double deadline = secondsNow() + MscTimeoutSeconds;
  // Target 0 completes at once with the current counter, at no particular moment; the
  // two readings timed are the next retrace and the one MscSpan retraces later.
  MscSample now, first, last;
  auto sampleAt = [&](uint32_t serial, uint64_t target, MscSample& sample) {
    xcb_present_notify_msc(connection, static_cast<xcb_window_t>(window), serial, target, 0, 0);
    xcb_flush(connection);
    return nextMscSample(connection, queue, deadline, sample);
  };
  double rate = 0.0;
  if (sampleAt(1, 0, now) && sampleAt(2, now.msc + 1, first) &&
      sampleAt(3, first.msc + MscSpan, last))
    rate = refreshFromMscSamples(first, last);
  xcb_present_select_input(connection, eventId, static_cast<xcb_window_t>(window), 0);
  xcb_flush(connection);
  xcb_unregister_for_special_event(connection, queue);
  return rate;
}

class X11WindowSystem final : public EglWindowSystem {
 public:
  X11WindowSystem(Display* display, const std::string& name) : display_(display), name_(name) {}

  EglNativeDisplay nativeDisplay() const override {
    return {EGL_PLATFORM_X11_KHR, display_, {"EGL_KHR_platform_x11", "EGL_EXT_platform_x11"},
            "X11"};
  }
  EglSurfaceKind surfaceKind() const override { return EglSurfaceKind::Window; }
  // NOTE: the X screen keeps its mode (no mode switching), so a window is offered the
  // formats of the desktop's depth whatever mode was asked for, as a display whose mode
  // change failed would offer them.
  int formatDepth(int /*modeBpp*/) const override { return EglDesktopBpp; }
  bool createWindow(EglWindow& window) override;
  EGLSurface createSurface(EGLDisplay display, EglWindow& window, EGLConfig config,
                           unsigned& error) override;
  bool present(EGLDisplay display, EglWindow& window, unsigned& error) override;
  void destroyWindow(EglWindow& window) override;
  bool windowAlive(EglWindow& window) override;
  bool lost() const override { return loss_ != Loss::Nothing; }
  std::string lossText() const override;
  double refreshRate(EglWindow& window) override;
  std::string description() const override { return "X display " + name_; }

 private:
  enum class Loss { Nothing, Connection, WindowDestroyed };

  // True, with the loss told on stderr once, when the server connection has broken.
  // Mesa draws through xcb without telling Xlib, so a swap goes on regardless;
  // 'roundTrip' first asks the server something through xcb, so that a server gone
  // quiet is found before Xlib touches the connection (Xlib's own way to learn of it
  // ends the process).
  bool connectionLost(bool roundTrip);
  // True, with the loss told on stderr once, when another client destroyed the window.
  // Reads only what the server has sent already (its DestroyNotify): no round trip, so
  // that it costs a swap next to nothing.
  bool destroyedByOtherClient(EglWindow& window);
  void noteLoss(Loss loss);

  Display* display_;
  std::string name_;           // ":0"
  Loss loss_ = Loss::Nothing;  // Connection: no Xlib or EGL call on it from then on
};

// A borderless window of the test size at (0, 0) in the screen's default visual, kept
// out of the window manager's hands (override-redirect) and raised above the others. It
// reports its own destruction (StructureNotifyMask), which another client may cause.
// NOTE: the screen's mode is never switched, so a screen smaller than the test size
// fails the window, as a mode that cannot be set would.
bool X11WindowSystem::createWindow(EglWindow& window) {
  if (lost() || connectionLost(true)) return false;
  const int screen = DefaultScreen(display_);
  const int screenWidth = DisplayWidth(display_, screen);
  const int screenHeight = DisplayHeight(display_, screen);
  if (window.width > screenWidth || window.height > screenHeight) {
    std::fprintf(stderr, "corvalis: the screen of %s is %dx%d, smaller than the %dx%d test "
                 "window (the screen mode is not switched)\n",
                 name_.c_str(), screenWidth, screenHeight, window.width, window.height);
    return false;
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display_, screen);
  attributes.event_mask = StructureNotifyMask;
  lastXError = 0;
  const Window x = XCreateWindow(display_, RootWindow(display_, screen), 0, 0,
                                 static_cast<unsigned>(window.width),
                                 static_cast<unsigned>(window.height), 0, CopyFromParent,
                                 InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
  XStoreName(display_, x, "Corvalis testing");
  XMapRaised(display_, x);
  XSync(display_, False);
  if (lastXError != 0) {
    std::fprintf(stderr, "corvalis: %s refused the test window (X error %d)\n",
                 name_.c_str(), lastXError);
    if (x) XDestroyWindow(display_, x);
    XSync(display_, False);
    return false;
  }
  window.nativeWindow = x;
  window.nativeVisual = XVisualIDFromVisual(DefaultVisual(display_, screen));
  return true;
}

// NOTE: Mesa's software rasteriser crashes making a surface on a window that another
// client has destroyed, so the window is looked at (a round trip) just before.
EGLSurface X11WindowSystem::createSurface(EGLDisplay display, EglWindow& window,
                                          EGLConfig config, unsigned& error) {
  if (!windowAlive(window)) {
    error = EGL_BAD_NATIVE_WINDOW;
    return EGL_NO_SURFACE;
  }
  const EGLSurface surface = eglCreateWindowSurface(
      display, config, static_cast<EGLNativeWindowType>(window.nativeWindow), nullptr);
  if (surface == EGL_NO_SURFACE) error = static_cast<unsigned>(eglGetError());
  return surface;
}

// A swap on a lost display or window shows nothing; one that finds the loss fails too.
// NOTE: a swap leaves the window's buffers to be taken up again, and Mesa's software
// rasteriser does that at the next GL call, asking the server for the window's size. If
// another client destroyed the window before that question, the size reads 0 x 0 and
// the next read of the old size runs off the buffers and crashes. So the buffers are
// taken up here, by a clear of no buffer (which draws nothing), and only then is the
// loss looked for: a window destroyed before the size was asked for has its
// DestroyNotify in the queue by the time the answer came. A window destroyed after it
// keeps its buffers until the next swap.
bool X11WindowSystem::present(EGLDisplay display, EglWindow& window, unsigned& error) {
  if (lost()) {
    error = EGL_BAD_NATIVE_WINDOW;
    return false;
  }
  bool shown = eglSwapBuffers(display, window.surface) == EGL_TRUE;
  if (!shown) error = static_cast<unsigned>(eglGetError());
  if (eglGetCurrentSurface(EGL_DRAW) == window.surface && !connectionLost(false)) glClear(0);
  if (connectionLost(false) || destroyedByOtherClient(window)) {
    error = EGL_BAD_NATIVE_WINDOW;
    shown = false;
    // NOTE: Mesa's software rasteriser reads a destroyed window's size as 0 x 0 at the
    // next draw or read and can crash there; with nothing current, the calls the test
    // still makes before it gives up (its last read, the error drain) do nothing.
    if (loss_ == Loss::WindowDestroyed)
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  }
  return shown;
}

// The window goes with the connection when that is lost, and needs no removal once
// another client destroyed it. What it still reported is taken off the queue.
void X11WindowSystem::destroyWindow(EglWindow& window) {
  const Window x = static_cast<Window>(window.nativeWindow);
  window.nativeWindow = 0;
  if (x == 0 || loss_ == Loss::Connection || connectionLost(true)) return;
  XDestroyWindow(display_, x);
  XSync(display_, False);
  XEvent event;
  while (XCheckWindowEvent(display_, x, StructureNotifyMask, &event)) {
  }
}

bool X11WindowSystem::windowAlive(EglWindow& window) {
  if (lost() || connectionLost(true)) return false;
  return !destroyedByOtherClient(window);
}

std::string X11WindowSystem::lossText() const {
  switch (loss_) {
    case Loss::Connection:
      return "the X display " + name_ + " was lost";
    case Loss::WindowDestroyed:
      return "another client destroyed a test window on X display " + name_;
    case Loss::Nothing:
      break;
  }
  return std::string();
}

bool X11WindowSystem::connectionLost(bool roundTrip) {
  if (loss_ == Loss::Connection) return true;
  xcb_connection_t* connection = XGetXCBConnection(display_);
  if (roundTrip && !xcb_connection_has_error(connection))
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  if (!xcb_connection_has_error(connection)) return false;
  noteLoss(Loss::Connection);
  return true;
}

bool X11WindowSystem::destroyedByOtherClient(EglWindow& window) {
  const Window x = static_cast<Window>(window.nativeWindow);
  if (x == 0) return true;
  bool destroyed = false;
  XEvent event;
  while (XCheckWindowEvent(display_, x, StructureNotifyMask, &event))
    destroyed = destroyed || event.type == DestroyNotify;
  if (!destroyed) return false;
  window.nativeWindow = 0;
  noteLoss(Loss::WindowDestroyed);
  return true;
}

// The first loss is told; a later one (the connection breaking after a window was
// destroyed) only stops the use of the connection.
void X11WindowSystem::noteLoss(Loss loss) {
  const bool first = loss_ == Loss::Nothing;
  if (loss_ != Loss::Connection) loss_ = loss;
  if (!first) return;
  std::fflush(stdout);
  std::fprintf(stderr,
               "corvalis: %s during the run; the test running then and every later one fail "
               "with \"no window\"\n",
               lossText().c_str());
}

double X11WindowSystem::refreshRate(EglWindow& window) {
  if (lost() || connectionLost(false)) return 0.0;
  const double rate = randrRefreshRate(display_);
  if (rate > 0.0) return rate;
  return presentRefreshRate(display_, static_cast<Window>(window.nativeWindow));
}

}  // namespace

bool useX11Windows(std::string& error) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    error = "no X display: DISPLAY is not set";
    return false;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    error = std::string("the X display '") + name + "' cannot be opened";
    return false;
  }
  displayName = DisplayString(display);
  XSetErrorHandler(recordXError);
  XSetIOErrorHandler(exitOnLostDisplay);
  eglPlatform().useWindowSystem(std::make_unique<X11WindowSystem>(display, displayName));
  return true;
}

}  // namespace platform
}  // namespace corvalis
