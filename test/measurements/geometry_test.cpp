// The Geometry test's report and vertex path, and on a real context (Mesa through EGL)
// the Geometry mesh and the Texturing quad: what the GL draws from them, on every vertex
// path the driver offers.

#include "measurements/geometry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/prng.h"
#include "gl/gl_caps.h"
#include "gl/window.h"
#include "measurements/geometry_mesh.h"
#include "measurements/section_text_lines.h"
#include "measurements/textured_quad.h"
#include "platform/gl_include.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

// Every rate distinct, so that a value written under the wrong key shows.
void fillKnownResults(GeometryTest& test) {
  test.fanRate = 11e6;
  test.listRate = 12e6;
  test.clipRate = 13e6;
  test.lightD1Rate = 14e6;
  test.lightP1Rate = 15e6;
  test.lightP8Rate = 400000.0;
  std::snprintf(test.modeText, sizeof test.modeText, "R5G6B5A0 Z0 S0");
  test.failed = false;
  test.hasRun = true;
}

constexpr int Width = 64;
constexpr int Height = 48;

class OnDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<TestWindow>(16, false, false);
    if (window_->initFailed) GTEST_SKIP() << "no GL window: " << window_->errorText;
    glClearColor(0.0f, 0.0f, 0.25f, 1.0f);  // a fresh context: no cull, identity matrices
    glColor4ub(255, 255, 255, 255);
  }

  // Clears, draws the selected set of the mesh and reads the frame back as RGBA bytes.
  static std::vector<unsigned char> frameOf(const GeometryMesh& mesh) {
    glClear(GL_COLOR_BUFFER_BIT);
    mesh.draw();
    return readFrame();
  }
  static std::vector<unsigned char> readFrame() {
    std::vector<unsigned char> pixels(4 * Width * Height);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }
  static int whitePixels(const std::vector<unsigned char>& pixels) {
    int count = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) count += (pixels[i] & pixels[i + 1] & pixels[i + 2]) == 255;
    return count;
  }

  NativeDisplay display_{Width, Height};
  std::unique_ptr<TestWindow> window_;  // closed before the display goes
};

}  // namespace

TEST(GeometryReport, PlainGroupIsKeyedShadingGroupIsNotAndSummaryIsTheFanRate) {
  GeometryTest test;
  EXPECT_EQ(summaryOf(test), "n/a");
  fillKnownResults(test);
  EXPECT_EQ(sectionTextLines(test),
            withHeader({"Geometry:Mode=R5G6B5A0 Z0 S0", "Geometry:Plain:Fan=11.000 M Tris/s",
                        "Geometry:Plain:List=12.000 M Tris/s", "Geometry:Plain:Clip=13.000 M Tris/s",
                        "Geometry:LightD1=14.000 M Tris/s", "Geometry:LightP1=15.000 M Tris/s",
                        "Geometry:LightP8=400000 Tris/s"}));
  test.fanRate = 123.456e6;
  EXPECT_EQ(summaryOf(test), "123.456 MTris/s");
}

TEST(GeometryMesh, PathPrefersBufferObjectsThenAtiThenDisplayLists) {
  GlCaps caps;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::DisplayLists);
  caps.vertexArrayObjectATI = true;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::ArrayObjects);
  caps.vertexBufferObject = true;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::BufferObjects);
  caps.vertexArrayObjectATI = false;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::BufferObjects);
}

TEST_F(OnDriver, EveryPathAndBothLayoutsDrawTheFanAndTheListClockwise) {
  const GlCaps& caps = window_->caps;
  GeometryMesh packed(caps, false);
  GeometryMesh records(caps, true);
  ASSERT_TRUE(packed.ready() && records.ready());
  EXPECT_EQ(packed.path(), chooseVertexPath(caps));
  EXPECT_EQ(packed.fanTriangles, 2 * (Width + Height) - 1);
  EXPECT_EQ(packed.listTriangles, Width + Height);
  // Selecting points the GL's arrays at a mesh: every draw below selects first.
  packed.selectFan();
  const auto fan = frameOf(packed);
  // Only the one-pixel wedge at the top of the left edge stays uncovered.
  EXPECT_GE(whitePixels(fan), Width * Height - Height);
  glEnable(GL_CULL_FACE);
  EXPECT_EQ(whitePixels(frameOf(packed)), 0);
  glDisable(GL_CULL_FACE);
  packed.selectList();
  const auto list = frameOf(packed);
  // The list covers every other wedge, without the part near the centre.
  EXPECT_GT(whitePixels(list), Width * Height / 8);
  EXPECT_LT(whitePixels(list), whitePixels(fan) * 3 / 4);

  records.selectFan();
  EXPECT_EQ(frameOf(records), fan);  // 24-byte records, lighting off
  records.selectList();
  EXPECT_EQ(frameOf(records), list);
  packed.release();  // unbinds the buffer objects before client arrays are used again
  records.release();
  {
    GlCaps noExtensions = caps;  // without vertex extensions: the display-list path
    noExtensions.vertexBufferObject = noExtensions.vertexArrayObjectATI = false;
    GeometryMesh listed(noExtensions, false);
    ASSERT_TRUE(listed.ready());
    EXPECT_EQ(listed.path(), VertexPath::DisplayLists);
    EXPECT_EQ(frameOf(listed), fan);
    listed.selectList();
    EXPECT_EQ(frameOf(listed), list);
    listed.release();
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OnDriver, TexturedQuadDrawsOnTheProcessGeneratorAndLeavesOnlyUnitZeroOn) {
  const GlCaps& caps = window_->caps;
  const bool multitexture = caps.multitexture && caps.maxTextureUnits > 1;
  if (multitexture) {  // a wide quad first: its other units must not stay enabled
    TexturedQuad wide;
    wide.build(caps, texturingLayerCount(caps), GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST);
    wide.release();
  }
  // One layer: with more, the modulated product of random texels is often black.
  Lcg expected(sharedRandom().state());
  TexturedQuad quad;
  quad.build(caps, 1, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
  for (int i = 0; i < 2 * TestTexelCount; ++i) expected.next();
  EXPECT_EQ(sharedRandom().state(), expected.state());  // drawn on, never reseeded
  ASSERT_NE(quad.list, 0u);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glCallList(quad.list);
  const auto pixels = readFrame();
  int cleared = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) cleared += (pixels[i] | pixels[i + 1] | pixels[i + 2]) == 0;
  EXPECT_LT(cleared, Width * Height / 100);  // textured everywhere
  if (multitexture) {
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
    for (int unit = caps.maxTextureUnits - 1; unit >= 0; --unit) {
      caps.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, unit == 0) << "unit " << unit;
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  quad.release();
}
