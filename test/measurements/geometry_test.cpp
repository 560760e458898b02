// The Geometry test's report, vertex path, generator and vertex store, and on a real
// context (Mesa through EGL) the Geometry mesh and the Texturing quad: what the GL draws
// from them, on every vertex path the driver offers.

#include "measurements/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/prng.h"
#include "gl/gl_caps.h"
#include "gl/window.h"
#include "measurements/geometry_mesh.h"
#include "measurements/mesh_generator.h"
#include "measurements/mesh_vertex_store.h"
#include "measurements/section_text_lines.h"
#include "measurements/textured_quad.h"
#include "platform/gl_include.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

constexpr float Tolerance = 1e-6f;

void expectVector(const float* actual, float x, float y, float z) {
  EXPECT_NEAR(actual[0], x, Tolerance);
  EXPECT_NEAR(actual[1], y, Tolerance);
  EXPECT_NEAR(actual[2], z, Tolerance);
}

void expectPosition(const MeshVertex& v, float x, float y) {
  EXPECT_NEAR(v.position[0], x, Tolerance);
  EXPECT_NEAR(v.position[1], y, Tolerance);
}

// Twice the signed area in window coordinates (y up): negative for clockwise.
float signedArea(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  return (b.position[0] - a.position[0]) * (c.position[1] - a.position[1]) -
         (c.position[0] - a.position[0]) * (b.position[1] - a.position[1]);
}

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

TEST(MeshGenerator, NormalTableMatchesItsCheckValuesAndTheStepWraps) {
  MeshGenerator generator;
  expectVector(generator.normalTable[0], 0.577350f, 0.577350f, 0.577350f);
  expectVector(generator.normalTable[1], 0.244266f, 0.635092f, 0.732798f);
  expectVector(generator.normalTable[28], -0.444444f, 0.444445f, -0.777778f);
  for (const auto& entry : generator.normalTable) {
    const float length = std::sqrt(entry[0] * entry[0] + entry[1] * entry[1] + entry[2] * entry[2]);
    EXPECT_NEAR(length, 1.0f, 1e-5f);  // unit length, so no entry was the zero vector
  }
  EXPECT_EQ(generator.normalCounter, 0u);
  EXPECT_EQ(generator.meshRandom, 3085965620u) << "87 steps from the seed, no more";
  generator.meshRandom = 0xFFFFFFFFu;
  EXPECT_EQ(generator.step(), 25u);
  EXPECT_EQ(generator.meshRandom, 3428u) << "-41 + 3469: wraps modulo 2^32";
}

TEST(MeshGenerator, PointLightsFromTheFixedSeed) {
  MeshGenerator generator;
  generator.meshRandom = PointLightSeed;
  const auto lights = nextPointLights(generator);
  expectVector(lights[0].position, 0.075f, 0.625f, 0.025f);
  expectVector(lights[0].diffuse, 0.15f, 1.0f, 0.425f);
  EXPECT_EQ(lights[0].diffuse[3], 1.0f);
  for (const PointLightSetup& light : lights) EXPECT_EQ(light.position[3], 1.0f);
  // Five steps per light, 35 in all.
  MeshGenerator counter;
  counter.meshRandom = PointLightSeed;
  for (int i = 0; i < 5 * ExtraPointLights; ++i) counter.step();
  EXPECT_EQ(generator.meshRandom, counter.meshRandom);
}

// For even, odd and the smallest sizes: the counts, the centre (half a pixel off for an
// odd size), the perimeter one pixel per step from the top left, every triangle
// clockwise so that culling rejects it, and the list built from every other fan wedge
// with its apex pulled a quarter of the way out from the centre.
TEST(MeshVertexStore, FanAndListGeometryForEachScreenSize) {
  struct Case {
    int w, h;
    float centreX, centreY;
  };
  for (const Case& c : {Case{1024, 768, 0.0f, 0.0f}, Case{1025, 769, -1.0f / 1025, 1.0f / 769},
                        Case{3, 5, -1.0f / 3, 1.0f / 5}, Case{1, 1, -1.0f, 1.0f}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const int w = c.w, h = c.h;
    MeshGenerator generator;
    MeshVertexStore store;
    ASSERT_TRUE(store.buildVertexStore(w, h, generator));
    ASSERT_EQ(store.fanVertexCount, 2 * (w + h) + 1);
    ASSERT_EQ(store.listVertexCount, 3 * (w + h));
    const MeshVertex* fan = store.fanVertices.get();
    const MeshVertex* list = store.listVertices.get();
    expectPosition(fan[0], c.centreX, c.centreY);
    expectPosition(fan[1], -1.0f, 1.0f);                       // top edge starts top left
    expectPosition(fan[w + 1], 1.0f, 1.0f);                    // right edge
    expectPosition(fan[w + h + 1], 1.0f, -1.0f);               // bottom edge
    expectPosition(fan[2 * w + h + 1], -1.0f, -1.0f);          // left edge
    expectPosition(fan[2 * (w + h)], -1.0f, 1.0f - 2.0f / h);  // not closed
    for (int i = 1; i < store.fanVertexCount - 1; ++i) {
      const float dx = (fan[i + 1].position[0] - fan[i].position[0]) * w / 2.0f;
      const float dy = (fan[i + 1].position[1] - fan[i].position[1]) * h / 2.0f;
      ASSERT_NEAR(std::fabs(dx) + std::fabs(dy), 1.0f, 1e-3f) << "vertex " << i;
      // On a 1 x 1 screen the centre is the top-left corner, so the first wedge is empty.
      if (w > 1) {
        ASSERT_LT(signedArea(fan[0], fan[i], fan[i + 1]), 0.0f) << "fan wedge " << i;
      }
    }
    for (int k = 1; k <= w + h; ++k) {
      const MeshVertex& a = list[3 * (k - 1)];
      const MeshVertex& b = list[3 * (k - 1) + 1];
      ASSERT_EQ(std::memcmp(&b, &fan[2 * k - 1], sizeof(MeshVertex)), 0) << k;
      ASSERT_EQ(std::memcmp(&list[3 * (k - 1) + 2], &fan[2 * k], sizeof(MeshVertex)), 0) << k;
      ASSERT_EQ(std::memcmp(a.normal, fan[0].normal, sizeof(a.normal)), 0) << k;
      ASSERT_EQ(a.position[2], fan[0].position[2]) << k;
      ASSERT_FLOAT_EQ(a.position[0], 0.25f * b.position[0]) << k;
      ASSERT_FLOAT_EQ(a.position[1], 0.25f * b.position[1]) << k;
      ASSERT_LT(signedArea(a, b, list[3 * (k - 1) + 2]), 0.0f) << "list triangle " << k;
    }
  }
}

TEST(MeshVertexStore, VerticesTakeZAndNormalFromTheGenerator) {
  MeshGenerator generator;
  MeshGenerator reference;  // same table, same state
  MeshVertexStore store;
  ASSERT_TRUE(store.buildVertexStore(64, 48, generator));
  const MeshVertex* fan = store.fanVertices.get();
  // First vertex: entry 113 mod 29 = 26; second: 226 mod 29 = 23.
  EXPECT_EQ(std::memcmp(fan[0].normal, reference.normalTable[26], sizeof fan[0].normal), 0);
  EXPECT_EQ(std::memcmp(fan[1].normal, reference.normalTable[23], sizeof fan[1].normal), 0);
  // z continues from the state the table left: one step per fan vertex, nothing more.
  EXPECT_FLOAT_EQ(fan[0].position[2], reference.step() * 0.025f);
  EXPECT_FLOAT_EQ(fan[1].position[2], reference.step() * 0.025f);
  for (int i = 2; i < store.fanVertexCount; ++i) reference.step();
  EXPECT_EQ(generator.meshRandom, reference.meshRandom);
  EXPECT_EQ(generator.normalCounter, 113u * store.fanVertexCount);
}

// The same size keeps the arrays and draws nothing; another size rebuilds; an unusable
// size leaves an empty store, consumes nothing and is retried on the next use.
TEST(MeshVertexStore, RebuildsOnlyForANewSizeAndFailsEmpty) {
  MeshGenerator generator;
  MeshVertexStore store;
  ASSERT_TRUE(store.buildVertexStore(320, 240, generator));
  const MeshVertex* kept = store.fanVertices.get();
  uint32_t state = generator.meshRandom;
  ASSERT_TRUE(store.buildVertexStore(320, 240, generator));
  EXPECT_EQ(store.fanVertices.get(), kept);
  EXPECT_EQ(generator.meshRandom, state);

  ASSERT_TRUE(store.buildVertexStore(16, 16, generator));
  EXPECT_EQ(store.fanVertexCount, 2 * 32 + 1);
  EXPECT_NE(generator.meshRandom, state);
  state = generator.meshRandom;
  for (const auto& size : {std::pair<int, int>{0, 768}, {1024, -1}, {1 << 29, 1 << 29}}) {
    EXPECT_FALSE(store.buildVertexStore(size.first, size.second, generator));
    EXPECT_TRUE(!store.fanVertices && !store.listVertices && store.fanVertexCount == 0);
    EXPECT_EQ(store.builtWidth, -1);
    EXPECT_EQ(generator.meshRandom, state);
  }
  EXPECT_TRUE(store.buildVertexStore(16, 16, generator));
  EXPECT_EQ(store.fanVertexCount, 2 * 32 + 1);
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
