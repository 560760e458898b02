#include "measurements/mesh_vertex_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "measurements/mesh_generator.h"

using namespace corvalis;

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

}  // namespace

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
