#pragma once
// The platform seam: every window-system, display, context, counter and user-interface
// service the benchmark needs, shaped after the Win32 calls it was designed around so
// that the Windows backend stays a pass-through. Everything above this header (pixel
// format choice, failure texts, timing loops) is written once for all platforms.
//
// No OS or GL header is included here; handles are opaque pointers.

#include <cstdint>
#include <string>
#include <vector>

namespace corvalis {
namespace platform {

using WindowHandle = void*;   // a test window (HWND; an EGL pbuffer surface record)
using DeviceContext = void*;  // the window's drawing target (HDC)
using RenderContext = void*;  // a GL rendering context (HGLRC; an EGLContext record)
using DialogHandle = void*;   // the launcher dialog (HWND)

// PIXELFORMATDESCRIPTOR flag bits and values that the format filter reads.
constexpr uint32_t PfdDoubleBuffer = 0x00000001;
constexpr uint32_t PfdDrawToWindow = 0x00000004;
constexpr uint32_t PfdSupportGdi = 0x00000010;
constexpr uint32_t PfdSupportOpenGl = 0x00000020;
constexpr uint32_t PfdGenericFormat = 0x00000040;
constexpr uint32_t PfdGenericAccelerated = 0x00001000;
constexpr uint8_t PfdTypeRgba = 0;
constexpr uint8_t PfdTypeColorIndex = 1;
constexpr uint8_t PfdMainPlane = 0;

// The fields of a PIXELFORMATDESCRIPTOR that the program uses.
struct PixelFormatDescriptor {
  uint32_t flags = 0;
  uint8_t pixelType = PfdTypeRgba;
  int8_t layerType = PfdMainPlane;
  uint8_t colorBits = 0;
  uint8_t redBits = 0, greenBits = 0, blueBits = 0;
  uint8_t alphaBits = 0;
  uint8_t depthBits = 0;
  uint8_t stencilBits = 0;
  uint8_t auxBuffers = 0;
  uint8_t accumBits = 0;
};

// A rendering device the user may pick (--list-devices / --device N).
struct DeviceInfo {
  std::string name;
  bool hardware = false;
};

// Buttons are always OK only; there is no owner window.
struct SaveFileRequest {
  std::string title;
  std::string filterDescription;
  std::string filterPattern;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Display mode -------------------------------------------------------------
  // Switches to a fullscreen mode (ChangeDisplaySettingsExA with CDS_FULLSCREEN); the
  // result is not checked by the callers.
  virtual void setDisplayMode(int width, int height, int bpp) = 0;
  // Back to the desktop mode stored in the registry.
  virtual void restoreDisplayMode() = 0;

  // --- Test windows ---------------------------------------------------------------
  // Registers the window class "Corvalis testing"; returns its atom, 0 on failure.
  virtual uint16_t registerWindowClass() = 0;
  virtual void unregisterWindowClass(uint16_t atom) = 0;
  // A topmost, borderless, visible window of the given size at (0, 0), titled
  // "Corvalis testing"; null on failure.
  virtual WindowHandle createTestWindow(uint16_t classAtom, int width, int height) = 0;
  virtual void destroyWindow(WindowHandle window) = 0;
  virtual DeviceContext getDeviceContext(WindowHandle window) = 0;
  virtual void releaseDeviceContext(WindowHandle window, DeviceContext dc) = 0;

  // --- Pixel formats (DescribePixelFormat / SetPixelFormat) -----------------------
  // Fills *out for a 1-based index when out is non-null; returns the highest index,
  // 0 when the device context has no formats.
  virtual int describePixelFormat(DeviceContext dc, int index, PixelFormatDescriptor* out) = 0;
  virtual bool setPixelFormat(DeviceContext dc, int index, const PixelFormatDescriptor& pfd) = 0;

  // --- Rendering context ------------------------------------------------------------
  virtual RenderContext createContext(DeviceContext dc) = 0;
  // The native error code of the last failed call (GetLastError, eglGetError).
  virtual unsigned lastError() = 0;
  virtual bool makeCurrent(DeviceContext dc, RenderContext rc) = 0;  // null, null: release
  virtual void deleteContext(RenderContext rc) = 0;
  // Presents the back buffer; completes queued work where no real swap exists.
  virtual bool swapBuffers(DeviceContext dc) = 0;
  // Entry point of the current context by name; null when absent. Backends answer
  // "wglSwapIntervalEXT" and "wglGetExtensionsStringARB" only where a swap-interval
  // control or an extension-string query really exists.
  virtual void* getProcAddress(const char* name) = 0;
  // The refresh rate in Hz of the display that shows the window, as the display itself
  // reports it; 0 when it cannot say (no display behind the window, or none reported),
  // and the caller then times swaps instead.
  virtual double displayRefreshRate(WindowHandle /*window*/) { return 0.0; }
  // True once the display that shows the test windows has gone away (its server
  // connection broke); from then on no window can be created, and what was measured on
  // the window that was open at that moment is worthless.
  virtual bool displayLost() { return false; }

  // --- Counters -----------------------------------------------------------------------
  virtual int64_t performanceCounter() = 0;
  virtual int64_t performanceFrequency() = 0;
  virtual void sleepMilliseconds(unsigned ms) = 0;

  // --- User interface -------------------------------------------------------------------
  virtual void showCursor(bool show) = 0;
  // A message box without owner and with an OK button (stderr on a console program).
  virtual void messageBox(const char* text, const char* caption) = 0;
  // Proposes and returns the file name in 'path' (at most pathSize - 1 characters);
  // false when cancelled.
  virtual bool saveFileDialog(const SaveFileRequest& request, char* path, size_t pathSize) = 0;
  // Opens a file with its default application (ShellExecuteA with SW_SHOW).
  virtual void openWithDefaultApplication(const char* path) = 0;
  // Puts text on the clipboard as CF_TEXT, owned by the given window; false on refusal.
  virtual bool setClipboardText(DialogHandle owner, const char* bytes, size_t size) = 0;

  // --- Devices --------------------------------------------------------------------------
  virtual std::vector<DeviceInfo> listDevices() = 0;
  // Chooses a device by its index in listDevices(); false when out of range.
  virtual bool selectDevice(int index) = 0;
  // One line describing what the backend renders with, or why it cannot.
  virtual std::string backendDescription() = 0;
};

// The process-wide backend: the native one unless a test installed another.
Platform& current();
// Installs a backend for the rest of the process (or until the next call); null goes
// back to the native backend. Not owned.
void install(Platform* backend);
// The backend of the system the program was built for.
Platform& native();

}  // namespace platform
}  // namespace corvalis
