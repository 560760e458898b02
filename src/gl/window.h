#pragma once
// A fullscreen window with a current OpenGL context, one per measurement block.

#include <cstddef>
#include <cstdint>

#include "framework/sync_method.h"
#include "gl/gl_caps.h"
#include "platform/platform.h"

namespace corvalis {

class TestWindow {
 public:
  // Switches the display to bpp (clamped to maxBpp) when needed, opens the window and
  // brings up a context whose pixel format has what was asked for. On failure
  // initFailed stays true and errorText names the failed step.
  TestWindow(int bpp, bool needDepth, bool needStencil);
  // Releases the context, the device context and the window; the mode stays.
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  // "R%dG%dB%dA%d Z%d S%d" of the granted bits, or the error text.
  void describeFormat(char* out, size_t outSize) const;
  // Bytes the display scan-out reads per second: colorBytes * refresh rate (85 Hz
  // when unknown).
  double ramdacBytesPerSecond() const;
  // The batch-completion method of this window, as the user chose it.
  SyncMethod syncMethod() const;
  // SwapBuffers on the window's device context.
  void swapBuffers() const;

  bool initFailed = true;
  int32_t redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0, depthBits = 0, stencilBits = 0;
  int32_t colorBytes = 0;    // one full-screen colour buffer
  int32_t depthBytes = 0;    // one full-screen depth buffer
  int32_t stencilBytes = 0;  // one full-screen stencil buffer
  platform::WindowHandle window = nullptr;
  platform::DeviceContext deviceContext = nullptr;
  platform::RenderContext renderContext = nullptr;
  char errorText[64] = {};
  // The extensions and entry points of this window's context; cleared while initFailed.
  GlCaps caps;

 private:
  bool initContext(int bpp, bool needDepth, bool needStencil);
  bool setChosenPixelFormat(int bpp, bool needDepth, bool needStencil);
};

// What driverString says after a window that could not bring up OpenGL.
constexpr const char* GlInitFailedText = "GL initialization failed ...";

// "renderer vVersion" of the current context into driverString.
void recordDriverString();

}  // namespace corvalis
