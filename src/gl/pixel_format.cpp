#include "gl/pixel_format.h"

#include <algorithm>

namespace corvalis {

namespace {

constexpr uint32_t GenericMask = platform::PfdGenericFormat | platform::PfdGenericAccelerated;

}  // namespace

bool operator<(const PixelFormatCandidate& a, const PixelFormatCandidate& b) {
  if (a.flags != b.flags) return a.flags < b.flags;
  if (a.colorBits != b.colorBits) return a.colorBits < b.colorBits;
  if (a.alphaBits != b.alphaBits) return a.alphaBits < b.alphaBits;
  if (a.depthBits != b.depthBits) return a.depthBits < b.depthBits;
  if (a.stencilBits != b.stencilBits) return a.stencilBits < b.stencilBits;
  if (a.auxBuffers != b.auxBuffers) return a.auxBuffers < b.auxBuffers;
  return a.accumBits < b.accumBits;
}

bool acceptPixelFormat(const platform::PixelFormatDescriptor& pfd, int bpp, bool needDepth,
                       bool needStencil, int formatMode) {
  const int half = bpp >> 1;
  // Unaccelerated generic formats (the system's software renderer) only when allowed.
  if (formatMode == 0 && (pfd.flags & GenericMask) == platform::PfdGenericFormat) return false;
  if (!(pfd.flags & platform::PfdSupportOpenGl)) return false;
  if (!(pfd.flags & platform::PfdDoubleBuffer)) return false;
  if (pfd.pixelType != platform::PfdTypeRgba) return false;
  if (pfd.layerType != platform::PfdMainPlane) return false;
  if (needStencil && pfd.stencilBits == 0) return false;
  if (needDepth && pfd.depthBits <= half) return false;
  if (pfd.colorBits <= half) return false;
  if (bpp >= 32 && pfd.alphaBits == 0) return false;
  if (pfd.depthBits + pfd.stencilBits > bpp) return false;
  return true;
}

int choosePixelFormat(const std::vector<platform::PixelFormatDescriptor>& formats, int bpp,
                      bool needDepth, bool needStencil, int formatMode) {
  std::vector<PixelFormatCandidate> candidates;
  for (size_t i = 0; i < formats.size(); ++i) {
    const platform::PixelFormatDescriptor& pfd = formats[i];
    if (!acceptPixelFormat(pfd, bpp, needDepth, needStencil, formatMode)) continue;
    PixelFormatCandidate c;
    c.index = static_cast<int32_t>(i + 1);
    c.flags = pfd.flags;
    c.colorBits = pfd.colorBits;
    c.alphaBits = pfd.alphaBits;
    c.depthBits = pfd.depthBits;
    c.stencilBits = pfd.stencilBits;
    c.auxBuffers = pfd.auxBuffers;
    c.accumBits = pfd.accumBits;
    candidates.push_back(c);
  }
  if (candidates.empty()) return 0;
  // Stable, so that among equal candidates the lowest index is taken.
  std::stable_sort(candidates.begin(), candidates.end());
  return candidates.front().index;
}

}  // namespace corvalis
