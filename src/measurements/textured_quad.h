#pragma once
// The Texturing test's drawable: one full-screen quad in perspective, compiled into a
// display list, that samples the same small mipmapped texture on 1 to 8 units.

#include <array>
#include <cstdint>

#include "framework/prng.h"
#include "gl/gl_caps.h"
#include "platform/gl_include.h"

namespace corvalis {

constexpr int TestTextureSize = 64;
constexpr int TestTextureLevels = 7;  // 64 x 64 down to 1 x 1
constexpr int TestTexelCount = TestTextureSize * TestTextureSize;
constexpr int MaxTexturingLayers = 8;

// Fills the RGB565 texels: each the low 16 bits of the product of two successive
// results of the generator.
void fillTestTexels(Lcg& random, uint16_t* texels, int count);

// Layer counts measured and reported: the texture units, at most 8 (and at least 1).
int texturingLayerCount(const GlCaps& caps);
// Multi-texture coordinates only when more than one unit samples.
bool usesMultiTexCoords(const GlCaps& caps, int layers);

struct QuadCorner {
  float vertex[4];    // x, y, z, w
  float texCoord[2];  // s, t
};

// Top left, bottom left, bottom right, top right. After the division by w the quad
// covers the window; the top edge lies twice as far away as the bottom edge.
std::array<QuadCorner, 4> perspectiveQuadCorners(int width, int height);

struct TexturedQuad {
  // Creates the texture from the process-wide generator, enables it on 'layerCount'
  // units (disabling the others, through the context's caps) and compiles the quad for
  // the configured screen.
  void build(const GlCaps& caps, int layerCount, GLenum magFilter, GLenum minFilter);
  // Enables the texture on its units again and disables the others, as build left them,
  // for a quad drawn after another one.
  void bind(const GlCaps& caps) const;
  // Deletes the list and the texture.
  void release();

  GLuint list = 0;
  GLuint texture = 0;
  int32_t layers = 0;
};

}  // namespace corvalis
