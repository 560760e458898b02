#pragma once
// A scripted platform backend for unit tests: it drives the failure paths a real
// driver cannot show and records every call in order.
//
// How to use it:
//
//   corvalis::platform::FakePlatform fake;
//   fake.failWindow = true;                  // script a failure (knobs below)
//   corvalis::platform::install(&fake);      // from now on platform::current() is fake
//   corvalis::DisplayConfig config(640, 480);
//   corvalis::displayConfig = &config;
//   { corvalis::TestWindow w(32, true, true); /* w.errorText == "no window" */ }
//   corvalis::displayConfig = nullptr;
//   corvalis::platform::install(nullptr);    // back to the native backend
//
// Knobs (all default to success):
//   failWindowClass     registerWindowClass returns 0
//   failWindow          createTestWindow returns null          -> "no window"
//   failDeviceContext   getDeviceContext returns null          -> "no device context"
//   formats             the descriptors describePixelFormat offers (index i + 1 is
//                       formats[i]); default standardFormats(); empty -> "no pixel format"
//   failSetPixelFormat  setPixelFormat refuses                 -> "no pixel format"
//   contextError        non-zero: createContext fails and lastError() returns it
//                                                             -> "no rendering context / %u"
//   failMakeCurrent     makeCurrent(dc, rc) fails (releasing still works)
//                                                             -> "wglMakeCurrent failed"
//   lostDisplay         displayLost() answers true: the display went away
//   missingProcs        names getProcAddress answers null for; every other name
//                       resolves. The pointers of ordinary names must never be called;
//                       "wglSwapIntervalEXT" and "wglGetExtensionsStringARB" resolve to
//                       real functions that record their calls.
//   saveFileAnswer      what saveFileDialog proposes; empty: the dialog is cancelled
//   clipboardAccepts    setClipboardText's answer (the bytes land in clipboard)
//
// No GL context exists behind the fake: GL calls made after a "successful" makeCurrent
// reach no context (they do nothing and glGetString answers null), so only failures and
// call order are meaningful. Counters read the real monotonic clock (so timers calibrate
// as usual); sleepMilliseconds only records the call.

#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvalis {
namespace platform {

class FakePlatform final : public Platform {
 public:
  FakePlatform();

  // R8G8B8A8 Z24 S8, R5G6B5 Z16 S0, R5G6B5 Z0 S0, R8G8B8A8 Z0 S0: double-buffered
  // OpenGL RGBA formats of an accelerated driver.
  static std::vector<PixelFormatDescriptor> standardFormats();

  // --- knobs ---
  bool failWindowClass = false;
  bool failWindow = false;
  bool failDeviceContext = false;
  std::vector<PixelFormatDescriptor> formats;
  bool failSetPixelFormat = false;
  unsigned contextError = 0;
  bool failMakeCurrent = false;
  bool lostDisplay = false;
  std::set<std::string> missingProcs;
  std::string saveFileAnswer;
  bool clipboardAccepts = true;

  // --- what happened ---
  // One entry per call, in order: "setDisplayMode 640x480x32", "restoreDisplayMode",
  // "registerWindowClass", "unregisterWindowClass", "sleep 100", "createTestWindow 640x480",
  // "destroyWindow", "getDeviceContext", "releaseDeviceContext", "setPixelFormat 1",
  // "createContext", "makeCurrent", "makeCurrent null", "deleteContext", "swapBuffers",
  // "wglSwapIntervalEXT 0", "wglGetExtensionsStringARB", "showCursor 0", "messageBox
  // CAPTION: TEXT", "saveFileDialog PROPOSED-NAME", "open PATH", "setClipboardText".
  // describePixelFormat and getProcAddress are counted, not logged.
  std::vector<std::string> calls;
  int describeCalls = 0;
  int chosenFormat = 0;                    // index given to the last setPixelFormat
  std::string clipboard;
  DialogHandle clipboardOwner = nullptr;  // owner named by the last setClipboardText
  int liveWindows = 0;                     // created and not yet destroyed
  int liveContexts = 0;

  // The entries of calls equal to name (or starting with it followed by a space).
  int count(const std::string& name) const;

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
  bool displayLost() override { return lostDisplay; }

 private:
  // Distinct addresses that stand for the fake's handles.
  char windowMarker_ = 0;
  char deviceContextMarker_ = 0;
  char contextMarker_ = 0;
  unsigned lastError_ = 0;
};

}  // namespace platform
}  // namespace corvalis
