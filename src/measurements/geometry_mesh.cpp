#include "measurements/geometry_mesh.h"

#include <cstdint>
#include <new>

#include "gl/display_config.h"

// ATI_vertex_array_object usage hint; absent from current glext.h.
#ifndef GL_STATIC_ATI
#define GL_STATIC_ATI 0x8760
#endif

namespace corvalis {

namespace {

constexpr GLsizei RecordStride = sizeof(MeshVertex);     // normal + position
constexpr GLsizei PackedStride = 3 * sizeof(float);     // position only
constexpr unsigned NormalOffset = 0;
constexpr unsigned PositionOffset = 3 * sizeof(float);

const char* const OutOfMemoryText = "not enough memory for the mesh";

// An offset into the bound buffer object, as the pointer calls take it.
const void* bufferOffset(unsigned bytes) {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(bytes));
}

}  // namespace

VertexPath chooseVertexPath(const GlCaps& caps) {
  if (caps.vertexBufferObject) return VertexPath::BufferObjects;
  if (caps.vertexArrayObjectATI) return VertexPath::ArrayObjects;
  return VertexPath::DisplayLists;
}

std::unique_ptr<float[]> packedPositions(const MeshVertex* vertices, int count) {
  std::unique_ptr<float[]> packed(new (std::nothrow) float[3 * static_cast<size_t>(count)]);
  if (!packed) return packed;
  for (int i = 0; i < count; ++i) {
    packed[3 * i + 0] = vertices[i].position[0];
    packed[3 * i + 1] = vertices[i].position[1];
    packed[3 * i + 2] = vertices[i].position[2];
  }
  return packed;
}

GeometryMesh::GeometryMesh(const GlCaps& caps, bool normals)
    : withNormals(normals), caps_(caps) {
  const VertexPath chosen = chooseVertexPath(caps_);
  useBufferObjects = chosen == VertexPath::BufferObjects;
  useArrayObjects = chosen == VertexPath::ArrayObjects;

  MeshVertexStore& store = meshVertexStore();
  if (!store.buildVertexStore(screenWidth, screenHeight, meshGenerator())) {
    errorText = OutOfMemoryText;
    return;
  }
  bool uploaded = true;
  if (useBufferObjects) {
    uploaded = uploadBufferObjects(store);
  } else if (useArrayObjects) {
    uploaded = uploadArrayObjects(store);
  } else {
    compileDisplayLists(store);
  }
  if (!uploaded) {
    errorText = OutOfMemoryText;
    return;
  }
  fanTriangles = store.fanVertexCount - 2;
  listTriangles = store.listVertexCount / 3;
  selectFan();
}

VertexPath GeometryMesh::path() const {
  if (useBufferObjects) return VertexPath::BufferObjects;
  if (useArrayObjects) return VertexPath::ArrayObjects;
  return VertexPath::DisplayLists;
}

bool GeometryMesh::uploadBufferObjects(const MeshVertexStore& store) {
  caps_.glGenBuffersARB(1, &fanBuffer);
  caps_.glGenBuffersARB(1, &triBuffer);
  auto upload = [&](GLuint buffer, const MeshVertex* vertices, int count) {
    caps_.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    if (withNormals) {
      caps_.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count) * RecordStride,
                             vertices, GL_STATIC_DRAW_ARB);
      return true;
    }
    std::unique_ptr<float[]> packed = packedPositions(vertices, count);
    if (!packed) return false;
    caps_.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count) * PackedStride,
                           packed.get(), GL_STATIC_DRAW_ARB);
    return true;
  };
  const bool ok = upload(fanBuffer, store.fanVertices.get(), store.fanVertexCount) &&
                  upload(triBuffer, store.listVertices.get(), store.listVertexCount);
  caps_.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  return ok;
}

// NOTE: no driver at hand offers GL_ATI_vertex_array_object (Mesa does not); this path
// follows the extension's documented calls and is kept as small as the others.
bool GeometryMesh::uploadArrayObjects(const MeshVertexStore& store) {
  auto upload = [&](const MeshVertex* vertices, int count, GLuint* object) {
    if (withNormals) {
      *object = caps_.glNewObjectBufferATI(count * RecordStride, vertices, GL_STATIC_ATI);
      return true;
    }
    std::unique_ptr<float[]> packed = packedPositions(vertices, count);
    if (!packed) return false;
    *object = caps_.glNewObjectBufferATI(count * PackedStride, packed.get(), GL_STATIC_ATI);
    return true;
  };
  return upload(store.fanVertices.get(), store.fanVertexCount, &fanObject) &&
         upload(store.listVertices.get(), store.listVertexCount, &triObject);
}

// The lists capture the client arrays' data when they are compiled.
void GeometryMesh::compileDisplayLists(const MeshVertexStore& store) {
  fanList = glGenLists(1);
  triList = glGenLists(1);
  const MeshVertex* fan = store.fanVertices.get();
  glVertexPointer(3, GL_FLOAT, RecordStride, fan->position);
  glNormalPointer(GL_FLOAT, RecordStride, fan->normal);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (withNormals) {
    glEnableClientState(GL_NORMAL_ARRAY);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
  glNewList(fanList, GL_COMPILE);
  glDrawArrays(GL_TRIANGLE_FAN, 0, store.fanVertexCount);
  glEndList();

  const MeshVertex* list = store.listVertices.get();
  glVertexPointer(3, GL_FLOAT, RecordStride, list->position);
  glNormalPointer(GL_FLOAT, RecordStride, list->normal);
  glNewList(triList, GL_COMPILE);
  glDrawArrays(GL_TRIANGLES, 0, store.listVertexCount);
  glEndList();
}

void GeometryMesh::selectFan() {
  fanMode = true;
  pointArrays();
}

void GeometryMesh::selectList() {
  fanMode = false;
  pointArrays();
}

void GeometryMesh::pointArrays() {
  if (useBufferObjects) {
    caps_.glBindBufferARB(GL_ARRAY_BUFFER_ARB, fanMode ? fanBuffer : triBuffer);
    if (withNormals) {
      glNormalPointer(GL_FLOAT, RecordStride, bufferOffset(NormalOffset));
      glVertexPointer(3, GL_FLOAT, RecordStride, bufferOffset(PositionOffset));
      glEnableClientState(GL_NORMAL_ARRAY);
      glEnableClientState(GL_VERTEX_ARRAY);
    } else {
      glVertexPointer(3, GL_FLOAT, PackedStride, bufferOffset(0));
      glDisableClientState(GL_NORMAL_ARRAY);
      glEnableClientState(GL_VERTEX_ARRAY);
    }
  } else if (useArrayObjects) {
    const GLuint object = fanMode ? fanObject : triObject;
    if (withNormals) {
      caps_.glArrayObjectATI(GL_NORMAL_ARRAY, 3, GL_FLOAT, RecordStride, object, NormalOffset);
      caps_.glArrayObjectATI(GL_VERTEX_ARRAY, 3, GL_FLOAT, RecordStride, object, PositionOffset);
      glEnableClientState(GL_NORMAL_ARRAY);
      glEnableClientState(GL_VERTEX_ARRAY);
    } else {
      caps_.glArrayObjectATI(GL_VERTEX_ARRAY, 3, GL_FLOAT, PackedStride, object, 0);
      glDisableClientState(GL_NORMAL_ARRAY);
      glEnableClientState(GL_VERTEX_ARRAY);
    }
  }
  // Display lists hold their data; nothing to point.
}

void GeometryMesh::draw() const {
  if (!useBufferObjects && !useArrayObjects) {
    glCallList(fanMode ? fanList : triList);
  } else if (fanMode) {
    glDrawArrays(GL_TRIANGLE_FAN, 0, fanTriangles + 2);
  } else {
    glDrawArrays(GL_TRIANGLES, 0, 3 * listTriangles);
  }
}

void GeometryMesh::release() {
  if (useBufferObjects) caps_.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (fanList != 0) glDeleteLists(fanList, 1);
  if (triList != 0) glDeleteLists(triList, 1);
  if (fanBuffer != 0) caps_.glDeleteBuffersARB(1, &fanBuffer);
  if (triBuffer != 0) caps_.glDeleteBuffersARB(1, &triBuffer);
  if (fanObject != 0) caps_.glFreeObjectBufferATI(fanObject);
  if (triObject != 0) caps_.glFreeObjectBufferATI(triObject);
  fanList = triList = fanBuffer = triBuffer = fanObject = triObject = 0;
}

}  // namespace corvalis
