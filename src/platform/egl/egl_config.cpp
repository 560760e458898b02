#include "platform/egl/egl_config.h"

namespace corvalis {
namespace platform {

namespace {

bool fitsByte(int bits) { return bits >= 0 && bits <= 255; }

}  // namespace

bool describeEglConfig(const EglConfigInfo& info, int bpp, PixelFormatDescriptor* out,
                       EglSurfaceKind kind) {
  if (info.bufferSize != bpp) return false;
  if (info.samples > 0) return false;
  const bool drawable = kind == EglSurfaceKind::Pbuffer ? info.pbuffer
                                                        : info.window && info.windowVisual;
  if (!drawable || !info.openGl) return false;
  if (!info.rgbBuffer || info.floatComponents) return false;
  if (info.redBits <= 0 || info.greenBits <= 0 || info.blueBits <= 0) return false;
  const int colorBits = info.redBits + info.greenBits + info.blueBits;
  for (int bits : {colorBits, info.alphaBits, info.depthBits, info.stencilBits})
    if (!fitsByte(bits)) return false;

  PixelFormatDescriptor pfd;
  pfd.flags = PfdSupportOpenGl | PfdDoubleBuffer;  // a pbuffer is "swapped" like a window
  if (info.slowCaveat) pfd.flags |= PfdGenericFormat;
  pfd.pixelType = PfdTypeRgba;
  pfd.layerType = PfdMainPlane;
  // Colour bits count red, green and blue only, as a PIXELFORMATDESCRIPTOR does; so a
  // 10-10-10-2 config (30) sorts after 8-8-8-8 (24) within the same 32-bit mode.
  pfd.colorBits = static_cast<uint8_t>(colorBits);
  pfd.redBits = static_cast<uint8_t>(info.redBits);
  pfd.greenBits = static_cast<uint8_t>(info.greenBits);
  pfd.blueBits = static_cast<uint8_t>(info.blueBits);
  pfd.alphaBits = static_cast<uint8_t>(info.alphaBits);
  pfd.depthBits = static_cast<uint8_t>(info.depthBits);
  pfd.stencilBits = static_cast<uint8_t>(info.stencilBits);
  pfd.auxBuffers = 0;
  pfd.accumBits = 0;
  if (out) *out = pfd;
  return true;
}

}  // namespace platform
}  // namespace corvalis
