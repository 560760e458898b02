#pragma once
// The Geometry test's own generator and the table of unit normals built from it. Both
// live for the whole process, so every mesh and every run gets the same data.

#include <array>
#include <cstdint>

namespace corvalis {

constexpr int NormalTableSize = 29;
constexpr uint32_t NormalTableSeed = 9;
// Every run re-seeds with this value before it places the eight point lights.
constexpr uint32_t PointLightSeed = 0x5DCA79DA;
// One generator value (0..40) times this gives 0.0 .. 1.0 in steps of 0.025.
constexpr float MeshValueScale = 0.025f;
// The seven lights GL_LIGHT1 .. GL_LIGHT7 that join GL_LIGHT0 in the eight-light workload.
constexpr int ExtraPointLights = 7;

class MeshGenerator {
 public:
  // Seeds with NormalTableSeed and fills normalTable (87 steps).
  MeshGenerator();

  // state := state * 41 + 3469 (mod 2^32); returns the new state modulo 41.
  uint32_t step();
  // Advances normalCounter by 113 and returns the table entry it picks.
  const float* nextNormal();

  uint32_t meshRandom = NormalTableSeed;
  float normalTable[NormalTableSize][3] = {};
  uint32_t normalCounter = 0;
};

// The process-wide generator, built during static initialisation.
MeshGenerator& meshGenerator();

struct PointLightSetup {
  float position[4];
  float diffuse[4];
};

// Positions and diffuse colours of GL_LIGHT1 .. GL_LIGHT7, five generator steps each,
// drawn from the generator's current state.
std::array<PointLightSetup, ExtraPointLights> nextPointLights(MeshGenerator& generator);

}  // namespace corvalis
