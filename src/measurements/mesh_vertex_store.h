#pragma once
// The vertex data every Geometry mesh uploads: a screen-filling triangle fan whose
// perimeter vertices lie one pixel apart, and a list of separate triangles taken from
// every other wedge of it. Built once per display resolution and kept for the process.

#include <cstdint>
#include <memory>

#include "measurements/mesh_generator.h"

namespace corvalis {

// 24 bytes: the normal, then the position, as the GL reads them with a 24-byte stride.
struct MeshVertex {
  float normal[3];
  float position[3];
};
static_assert(sizeof(MeshVertex) == 24, "vertex records are uploaded as they are");

// Vertices of the fan and of the list for a width x height screen.
int64_t fanVertexCountFor(int width, int height);
int64_t listVertexCountFor(int width, int height);

class MeshVertexStore {
 public:
  // Builds both arrays for width x height from the generator, or keeps them when they
  // were built for that size already. False (and the store left empty) when the size
  // is not positive, too large to draw in one call, or the memory cannot be had.
  bool buildVertexStore(int width, int height, MeshGenerator& generator);

  std::unique_ptr<MeshVertex[]> fanVertices;
  std::unique_ptr<MeshVertex[]> listVertices;
  int fanVertexCount = 0;
  int listVertexCount = 0;
  int builtWidth = -1;
  int builtHeight = -1;

 private:
  void clear();
};

// The process-wide store; its arrays are freed at program exit.
MeshVertexStore& meshVertexStore();

}  // namespace corvalis
