#pragma once
// How an EGL framebuffer configuration appears as a pixel format: the translation is a
// pure function over the config's attributes, so that it is testable without a driver.

#include "platform/platform.h"

namespace corvalis {
namespace platform {

// The attributes of one EGL config that decide whether and how it is offered.
struct EglConfigInfo {
  int bufferSize = 0;
  int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
  int depthBits = 0, stencilBits = 0;
  int samples = 0;
  bool pbuffer = false;          // EGL_PBUFFER_BIT in EGL_SURFACE_TYPE
  bool window = false;           // EGL_WINDOW_BIT in EGL_SURFACE_TYPE
  bool windowVisual = false;     // its native visual is the one of the X window to draw on
  bool openGl = false;           // EGL_OPENGL_BIT in EGL_RENDERABLE_TYPE
  bool rgbBuffer = true;         // EGL_COLOR_BUFFER_TYPE is EGL_RGB_BUFFER
  bool floatComponents = false;  // EGL_COLOR_COMPONENT_TYPE_EXT is floating point
  bool slowCaveat = false;       // EGL_CONFIG_CAVEAT is EGL_SLOW_CONFIG
};

// What a test window is drawn on: a headless pbuffer or an X11 window.
enum class EglSurfaceKind { Pbuffer, Window };

// Fills *out with the descriptor a display in a bpp-bit mode would list for the config.
// False when the config is not offered in that mode: another buffer size, multisampled
// (a descriptor cannot express samples), float or luminance colour, no surface of the
// kind asked for (a pbuffer; or a window in the X window's own visual), no desktop
// OpenGL, or bit counts a descriptor cannot hold.
bool describeEglConfig(const EglConfigInfo& info, int bpp, PixelFormatDescriptor* out,
                       EglSurfaceKind kind = EglSurfaceKind::Pbuffer);

}  // namespace platform
}  // namespace corvalis
