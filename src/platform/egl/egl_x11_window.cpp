// The X11 window system of the EGL backend: the display connection and its error
// handlers, test windows as borderless X windows at the screen's top-left corner, and
// the refresh rate of the output that shows them.

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <xcb/present.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/egl/egl_platform.h"
#include "platform/egl/window_system.h"
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

Display* asDisplay(void* display) { return static_cast<Display*>(display); }

// Protocol errors (a window that vanished, a refused request) are recorded, never fatal;
// the calls that care look at lastXError after a round trip.
int recordXError(Display* /*display*/, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

// NOTE: Xlib does not let a program go on after its connection broke (the handler must
// not return). The backend finds a broken connection through xcb first and then stays
// off Xlib (x11ConnectionLost); this handler is the last resort for a server that
// goes away between that check and an Xlib call.
int displayLost(Display* /*display*/) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "corvalis: the connection to X display %s was lost during the run; stopping "
               "without writing the report\n",
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
  XSetIOErrorHandler(displayLost);
  static_cast<EglPlatform&>(native()).useX11Display(display, displayName);
  return true;
}

std::string x11DisplayName() {
  return static_cast<EglPlatform&>(native()).usesX11() ? "X display " + displayName
                                                       : std::string();
}

// A borderless window of the test size at (0, 0) in the screen's default visual, kept
// out of the window manager's hands (override-redirect) and raised above the others.
// NOTE: the screen's mode is never switched, so a screen smaller than the test size
// fails the window, as a mode that cannot be set would.
bool EglPlatform::createX11Window(EglWindow& window) {
  if (x11ConnectionLost(true)) return false;
  Display* display = asDisplay(xDisplay_);
  const int screen = DefaultScreen(display);
  const int screenWidth = DisplayWidth(display, screen);
  const int screenHeight = DisplayHeight(display, screen);
  if (window.width > screenWidth || window.height > screenHeight) {
    std::fprintf(stderr, "corvalis: the screen of %s is %dx%d, smaller than the %dx%d test "
                 "window (the screen mode is not switched)\n",
                 xDisplayName_.c_str(), screenWidth, screenHeight, window.width, window.height);
    return false;
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, screen);
  lastXError = 0;
  const Window x = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                                 static_cast<unsigned>(window.width),
                                 static_cast<unsigned>(window.height), 0, CopyFromParent,
                                 InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                 &attributes);
  XStoreName(display, x, "Corvalis testing");
  XMapRaised(display, x);
  XSync(display, False);
  if (lastXError != 0) {
    std::fprintf(stderr, "corvalis: %s refused the test window (X error %d)\n",
                 xDisplayName_.c_str(), lastXError);
    if (x) XDestroyWindow(display, x);
    XSync(display, False);
    return false;
  }
  window.xWindow = x;
  window.xVisualId = XVisualIDFromVisual(DefaultVisual(display, screen));
  return true;
}

// The window goes with the connection when that is lost.
void EglPlatform::destroyX11Window(EglWindow& window) {
  if (!x11ConnectionLost(true)) {
    Display* display = asDisplay(xDisplay_);
    XDestroyWindow(display, static_cast<Window>(window.xWindow));
    XSync(display, False);
  }
  window.xWindow = 0;
}

EGLSurface EglPlatform::createX11Surface(EglWindow& window, EGLConfig config) {
  EGLSurface surface = eglCreateWindowSurface(
      display_, config, static_cast<EGLNativeWindowType>(window.xWindow), nullptr);
  if (surface == EGL_NO_SURFACE) fail();
  return surface;
}

bool EglPlatform::x11ConnectionLost(bool roundTrip) {
  if (xLost_) return true;
  xcb_connection_t* connection = XGetXCBConnection(asDisplay(xDisplay_));
  if (roundTrip && !xcb_connection_has_error(connection))
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  if (!xcb_connection_has_error(connection)) return false;
  xLost_ = true;
  std::fflush(stdout);
  std::fprintf(stderr,
               "corvalis: the connection to X display %s was lost during the run; the test "
               "running then and every later one fail with \"no window\"\n",
               xDisplayName_.c_str());
  return true;
}

double EglPlatform::x11RefreshRate(const EglWindow& window) {
  if (x11ConnectionLost(false)) return 0.0;
  Display* display = asDisplay(xDisplay_);
  const double rate = randrRefreshRate(display);
  if (rate > 0.0) return rate;
  return presentRefreshRate(display, static_cast<Window>(window.xWindow));
}

}  // namespace platform
}  // namespace corvalis
