#include "measurements/mesh_vertex_store.h"

#include <climits>
#include <new>

namespace corvalis {

namespace {

MeshVertexStore processVertexStore;

// Vertex counts are GLsizei and byte sizes must fit one as well.
constexpr int64_t MaxVertexCount = INT_MAX / static_cast<int64_t>(sizeof(MeshVertex));

// Writes the fan: centre, then the perimeter clockwise on screen, starting at the top
// left corner. Each vertex takes its z and normal from the generator as it is written.
int writeFan(MeshVertex* fan, int width, int height, MeshGenerator& generator) {
  int count = 0;
  auto put = [&](float x, float y) {
    MeshVertex& v = fan[count++];
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = static_cast<float>(generator.step()) * MeshValueScale;
    const float* normal = generator.nextNormal();
    v.normal[0] = normal[0];
    v.normal[1] = normal[1];
    v.normal[2] = normal[2];
  };
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  // Window coordinates: x = 2i / W - 1, y = 1 - 2j / H.
  auto xAt = [w](int64_t i) { return static_cast<float>(2 * i) / w - 1.0f; };
  auto yAt = [h](int64_t j) { return 1.0f - static_cast<float>(2 * j) / h; };

  put(xAt(width / 2), yAt(height / 2));
  for (int i = 0; i < width; ++i) put(xAt(i), 1.0f);      // top edge, left to right
  for (int j = 0; j < height; ++j) put(1.0f, yAt(j));     // right edge, downwards
  for (int i = width; i >= 1; --i) put(xAt(i), -1.0f);    // bottom edge, right to left
  for (int j = height; j >= 1; --j) put(-1.0f, yAt(j));   // left edge, upwards
  return count;
}

// Every other wedge of the fan as a separate triangle (A, B, C) with the apex A pulled
// a quarter of the way out towards B; the winding stays that of the fan.
int writeList(MeshVertex* list, const MeshVertex* fan, int wedges) {
  int count = 0;
  for (int k = 1; k <= wedges; ++k) {
    const MeshVertex& b = fan[2 * k - 1];
    const MeshVertex& c = fan[2 * k];
    MeshVertex a = fan[0];
    a.position[0] = 0.25f * b.position[0];
    a.position[1] = 0.25f * b.position[1];
    list[count++] = a;
    list[count++] = b;
    list[count++] = c;
  }
  return count;
}

}  // namespace

int64_t fanVertexCountFor(int width, int height) {
  return 2 * (static_cast<int64_t>(width) + height) + 1;
}

int64_t listVertexCountFor(int width, int height) {
  return 3 * (static_cast<int64_t>(width) + height);
}

void MeshVertexStore::clear() {
  fanVertices.reset();
  listVertices.reset();
  fanVertexCount = 0;
  listVertexCount = 0;
  builtWidth = -1;
  builtHeight = -1;
}

bool MeshVertexStore::buildVertexStore(int width, int height, MeshGenerator& generator) {
  if (width == builtWidth && height == builtHeight) return true;
  clear();
  if (width < 1 || height < 1) return false;
  const int64_t fanCount = fanVertexCountFor(width, height);
  const int64_t listCount = listVertexCountFor(width, height);
  if (fanCount > MaxVertexCount || listCount > MaxVertexCount) return false;

  // Both arrays first, so that a shortage consumes no generator steps.
  fanVertices.reset(new (std::nothrow) MeshVertex[static_cast<size_t>(fanCount)]);
  listVertices.reset(new (std::nothrow) MeshVertex[static_cast<size_t>(listCount)]);
  if (!fanVertices || !listVertices) {
    clear();
    return false;
  }
  fanVertexCount = writeFan(fanVertices.get(), width, height, generator);
  listVertexCount = writeList(listVertices.get(), fanVertices.get(), width + height);
  builtWidth = width;
  builtHeight = height;
  return true;
}

MeshVertexStore& meshVertexStore() { return processVertexStore; }

}  // namespace corvalis
