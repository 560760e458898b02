#include "measurements/mesh_vertex_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

TEST(MeshGenerator, NormalTableMatchesItsCheckValues) {
  MeshGenerator generator;
  expectVector(generator.normalTable[0], 0.577350f, 0.577350f, 0.577350f);
  expectVector(generator.normalTable[1], 0.244266f, 0.635092f, 0.732798f);
  expectVector(generator.normalTable[28], -0.444444f, 0.444445f, -0.777778f);
  for (const auto& entry : generator.normalTable) {
    const float length = std::sqrt(entry[0] * entry[0] + entry[1] * entry[1] + entry[2] * entry[2]);
    EXPECT_NEAR(length, 1.0f, 1e-5f);  // unit length, so no entry was the zero vector
  }
  EXPECT_EQ(generator.normalCounter, 0u);
}

TEST(MeshGenerator, StepsAndLeavesTheStateAfterTheTable) {
  MeshGenerator generator;
  uint32_t state = NormalTableSeed;
  for (int i = 0; i < 3 * NormalTableSize; ++i) state = state * 41u + 3469u;
  EXPECT_EQ(generator.meshRandom, state);

  generator.meshRandom = 0xFFFFFFFFu;  // wraps modulo 2^32
  const uint32_t expected = static_cast<uint32_t>((0xFFFFFFFFull * 41u + 3469u) % (1ull << 32));
  EXPECT_EQ(generator.step(), expected % 41u);
  EXPECT_EQ(generator.meshRandom, expected);
}

TEST(MeshGenerator, PointLightsFromTheFixedSeed) {
  MeshGenerator generator;
  generator.meshRandom = PointLightSeed;
  const auto lights = nextPointLights(generator);
  const uint32_t after = generator.meshRandom;

  expectVector(lights[0].position, 0.075f, 0.625f, 0.025f);
  expectVector(lights[0].diffuse, 0.15f, 1.0f, 0.425f);
  EXPECT_EQ(lights[0].diffuse[3], 1.0f);
  for (const PointLightSetup& light : lights) EXPECT_EQ(light.position[3], 1.0f);
  // Five steps per light, 35 in all.
  MeshGenerator counter;
  counter.meshRandom = PointLightSeed;
  for (int i = 0; i < 5 * ExtraPointLights; ++i) counter.step();
  EXPECT_EQ(after, counter.meshRandom);
}

TEST(MeshVertexStore, CountsAndPerimeterAt1024x768) {
  MeshGenerator generator;
  MeshVertexStore store;
  const int w = 1024, h = 768;
  ASSERT_TRUE(store.buildVertexStore(w, h, generator));
  EXPECT_EQ(store.fanVertexCount, 2 * (w + h) + 1);
  EXPECT_EQ(store.listVertexCount, 3 * (w + h));
  const MeshVertex* fan = store.fanVertices.get();
  expectPosition(fan[0], 0.0f, 0.0f);
  expectPosition(fan[1], -1.0f, 1.0f);                       // top edge starts top left
  expectPosition(fan[w + 1], 1.0f, 1.0f);                    // right edge
  expectPosition(fan[w + h + 1], 1.0f, -1.0f);               // bottom edge
  expectPosition(fan[2 * w + h + 1], -1.0f, -1.0f);          // left edge
  expectPosition(fan[2 * (w + h)], -1.0f, 1.0f - 2.0f / h);  // not closed

  // Neighbouring perimeter vertices are exactly one pixel apart.
  for (int i = 1; i < store.fanVertexCount - 1; ++i) {
    const float dx = (fan[i + 1].position[0] - fan[i].position[0]) * w / 2.0f;
    const float dy = (fan[i + 1].position[1] - fan[i].position[1]) * h / 2.0f;
    ASSERT_NEAR(std::fabs(dx) + std::fabs(dy), 1.0f, 1e-3f) << "vertex " << i;
  }
}

TEST(MeshVertexStore, EveryTriangleRunsClockwiseSoCullingRejectsIt) {
  for (const auto& size : {std::pair<int, int>{1024, 768}, {1025, 769}, {3, 5}}) {
    MeshGenerator generator;
    MeshVertexStore store;
    ASSERT_TRUE(store.buildVertexStore(size.first, size.second, generator));
    const MeshVertex* fan = store.fanVertices.get();
    for (int i = 1; i + 1 < store.fanVertexCount; ++i) {
      ASSERT_LT(signedArea(fan[0], fan[i], fan[i + 1]), 0.0f) << "fan wedge " << i;
    }
    const MeshVertex* list = store.listVertices.get();
    for (int i = 0; i < store.listVertexCount; i += 3) {
      ASSERT_LT(signedArea(list[i], list[i + 1], list[i + 2]), 0.0f) << "list triangle " << i / 3;
    }
  }
}

TEST(MeshVertexStore, ListTakesEveryOtherWedgeWithItsApexPulledOut) {
  MeshGenerator generator;
  MeshVertexStore store;
  ASSERT_TRUE(store.buildVertexStore(40, 30, generator));
  const MeshVertex* fan = store.fanVertices.get();
  const MeshVertex* list = store.listVertices.get();
  for (int k = 1; k <= 40 + 30; ++k) {
    const MeshVertex& a = list[3 * (k - 1)];
    const MeshVertex& b = list[3 * (k - 1) + 1];
    const MeshVertex& c = list[3 * (k - 1) + 2];
    ASSERT_EQ(std::memcmp(&b, &fan[2 * k - 1], sizeof(MeshVertex)), 0) << k;
    ASSERT_EQ(std::memcmp(&c, &fan[2 * k], sizeof(MeshVertex)), 0) << k;
    EXPECT_EQ(std::memcmp(a.normal, fan[0].normal, sizeof(a.normal)), 0);
    EXPECT_EQ(a.position[2], fan[0].position[2]);
    EXPECT_FLOAT_EQ(a.position[0], 0.25f * b.position[0]);
    EXPECT_FLOAT_EQ(a.position[1], 0.25f * b.position[1]);
  }
}

TEST(MeshVertexStore, OddSizesMoveTheCentreByHalfAPixel) {
  MeshGenerator generator;
  MeshVertexStore store;
  ASSERT_TRUE(store.buildVertexStore(1025, 769, generator));
  expectPosition(store.fanVertices[0], -1.0f / 1025, 1.0f / 769);

  ASSERT_TRUE(store.buildVertexStore(1, 1, generator));  // smallest screen
  EXPECT_EQ(store.fanVertexCount, 5);
  EXPECT_EQ(store.listVertexCount, 6);
  expectPosition(store.fanVertices[0], -1.0f, 1.0f);
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

TEST(MeshVertexStore, SameSizeIsKeptAndAnotherSizeRebuilt) {
  MeshGenerator firstGenerator;
  MeshVertexStore first;
  ASSERT_TRUE(first.buildVertexStore(320, 240, firstGenerator));
  // A second build for the same size reuses the arrays and draws nothing.
  const MeshVertex* kept = first.fanVertices.get();
  const uint32_t state = firstGenerator.meshRandom;
  ASSERT_TRUE(first.buildVertexStore(320, 240, firstGenerator));
  EXPECT_EQ(first.fanVertices.get(), kept);
  EXPECT_EQ(firstGenerator.meshRandom, state);

  // Another size rebuilds.
  ASSERT_TRUE(first.buildVertexStore(160, 120, firstGenerator));
  EXPECT_EQ(first.fanVertexCount, 2 * (160 + 120) + 1);
  EXPECT_NE(firstGenerator.meshRandom, state);
}

TEST(MeshVertexStore, UnusableSizesLeaveAnEmptyStoreAndConsumeNothing) {
  MeshGenerator generator;
  MeshVertexStore store;
  ASSERT_TRUE(store.buildVertexStore(16, 16, generator));
  const uint32_t state = generator.meshRandom;
  for (const auto& size : {std::pair<int, int>{0, 768}, {1024, -1}, {1 << 29, 1 << 29}}) {
    EXPECT_FALSE(store.buildVertexStore(size.first, size.second, generator));
    EXPECT_TRUE(!store.fanVertices && !store.listVertices && store.fanVertexCount == 0);
    EXPECT_EQ(store.builtWidth, -1);
    EXPECT_EQ(generator.meshRandom, state);
  }
  // A failed build is retried on the next use.
  EXPECT_TRUE(store.buildVertexStore(16, 16, generator));
  EXPECT_EQ(store.fanVertexCount, 2 * 32 + 1);
}
