#include "measurements/mesh_generator.h"

#include <cmath>

namespace corvalis {

namespace {

// Built before the entry point runs; the first vertex store build continues from the
// state the table leaves behind.
MeshGenerator processMeshGenerator;

}  // namespace

MeshGenerator::MeshGenerator() {
  for (auto& entry : normalTable) {
    float c[3];
    for (float& component : c) {
      // -1.0 .. +1.0 in steps of 0.05
      component = 2.0f * static_cast<float>(step()) * MeshValueScale - 1.0f;
    }
    const float length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    for (int i = 0; i < 3; ++i) entry[i] = c[i] / length;
  }
}

uint32_t MeshGenerator::step() {
  meshRandom = meshRandom * 41u + 3469u;
  return meshRandom % 41u;
}

const float* MeshGenerator::nextNormal() {
  normalCounter += 113u;
  return normalTable[normalCounter % NormalTableSize];
}

MeshGenerator& meshGenerator() { return processMeshGenerator; }

std::array<PointLightSetup, ExtraPointLights> nextPointLights(MeshGenerator& generator) {
  std::array<PointLightSetup, ExtraPointLights> lights{};
  for (PointLightSetup& light : lights) {
    float k[5];
    for (float& value : k) value = MeshValueScale * static_cast<float>(generator.step());
    light.position[0] = k[0];
    light.position[1] = k[1];
    light.position[2] = k[2];
    light.position[3] = 1.0f;
    light.diffuse[0] = k[3];
    light.diffuse[1] = k[4];
    light.diffuse[2] = 1.0f - (k[3] + k[4]) / 2.0f;
    light.diffuse[3] = 1.0f;
  }
  return lights;
}

}  // namespace corvalis
