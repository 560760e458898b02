#include "measurements/textured_quad.h"

#include <algorithm>

#include "gl/display_config.h"

namespace corvalis {

void fillTestTexels(Lcg& random, uint16_t* texels, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t a = static_cast<uint32_t>(random.next());
    const uint32_t b = static_cast<uint32_t>(random.next());
    texels[i] = static_cast<uint16_t>(a * b);
  }
}

int texturingLayerCount(const GlCaps& caps) {
  return std::max(1, std::min<int>(caps.maxTextureUnits, MaxTexturingLayers));
}

bool usesMultiTexCoords(const GlCaps& caps, int layers) {
  return caps.multitexture && layers > 1;
}

std::array<QuadCorner, 4> perspectiveQuadCorners(int width, int height) {
  // width / 128 and height / 128: the texture repeats many times across the screen.
  const float s = static_cast<float>(width) * 0.0078125f;
  const float t = static_cast<float>(height) * 0.0078125f;
  return {{
      {{-32.0f, 32.0f, 0.0f, 32.0f}, {-32.0f * s, -32.0f * t}},
      {{-16.0f, -16.0f, 0.0f, 16.0f}, {-16.0f * s, 16.0f * t}},
      {{16.0f, -16.0f, 0.0f, 16.0f}, {16.0f * s, 16.0f * t}},
      {{32.0f, 32.0f, 0.0f, 32.0f}, {32.0f * s, -32.0f * t}},
  }};
}

void TexturedQuad::build(const GlCaps& caps, int layerCount, GLenum magFilter,
                         GLenum minFilter) {
  // The texture: seven RGB565 levels, all read from the start of one texel array.
  std::array<uint16_t, TestTexelCount> texels;
  glGenTextures(1, &texture);
  fillTestTexels(sharedRandom(), texels.data(), TestTexelCount);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  for (int level = 0; level < TestTextureLevels; ++level) {
    const int size = TestTextureSize >> level;
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGB5, size, size, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                 texels.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));

  layers = layerCount;
  list = glGenLists(1);

  bind(caps);

  const bool multiCoords = usesMultiTexCoords(caps, layers);
  const auto corners = perspectiveQuadCorners(screenWidth, screenHeight);
  glNewList(list, GL_COMPILE);
  glBegin(GL_TRIANGLE_FAN);
  for (const QuadCorner& corner : corners) {
    if (multiCoords) {
      for (int unit = 0; unit < layers; ++unit) {
        caps.glMultiTexCoord2fARB(GL_TEXTURE0_ARB + unit, corner.texCoord[0], corner.texCoord[1]);
      }
    } else {
      glTexCoord2fv(corner.texCoord);
    }
    glVertex4fv(corner.vertex);
  }
  glEnd();
  glEndList();
}

void TexturedQuad::bind(const GlCaps& caps) const {
  // Every sampling unit gets the same texture; the units beyond are switched off and
  // unit 0 is left active.
  for (int unit = 0; unit < layers; ++unit) {
    if (caps.multitexture) caps.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
  }
  if (caps.multitexture) {
    for (int unit = layers; unit < caps.maxTextureUnits; ++unit) {
      caps.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      glDisable(GL_TEXTURE_2D);
    }
    caps.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

void TexturedQuad::release() {
  glDeleteLists(list, 1);
  glDeleteTextures(1, &texture);
  list = 0;
  texture = 0;
}

}  // namespace corvalis
