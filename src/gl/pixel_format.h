#pragma once
// The least acceptable pixel format for a window's request, chosen as a pure function
// over descriptor records so that the choice is testable without a driver.

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace corvalis {

struct PixelFormatCandidate {
  int32_t index = 0;
  uint32_t flags = 0;
  uint8_t colorBits = 0;
  uint8_t alphaBits = 0;
  uint8_t depthBits = 0;
  uint8_t stencilBits = 0;
  uint8_t auxBuffers = 0;
  uint8_t accumBits = 0;
};

// flags first, then colour, alpha, depth, stencil, aux, accum bits; index takes no part.
bool operator<(const PixelFormatCandidate& a, const PixelFormatCandidate& b);

// True when the descriptor passes the filter for (bpp, needDepth, needStencil) under
// formatMode (0: no unaccelerated generic formats).
bool acceptPixelFormat(const platform::PixelFormatDescriptor& pfd, int bpp, bool needDepth,
                       bool needStencil, int formatMode);

// formats[i] describes index i + 1. Returns the chosen 1-based index, 0 when none passes;
// among equal candidates the lowest index wins.
int choosePixelFormat(const std::vector<platform::PixelFormatDescriptor>& formats, int bpp,
                      bool needDepth, bool needStencil, int formatMode);

}  // namespace corvalis
