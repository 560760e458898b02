#pragma once
// One drawable copy of the Geometry mesh on the best vertex path the driver offers:
// ARB vertex buffer objects, else ATI vertex array objects, else display lists
// compiled over client vertex arrays.

#include <cstdint>
#include <memory>

#include "gl/gl_caps.h"
#include "measurements/mesh_vertex_store.h"
#include "platform/gl_include.h"

namespace corvalis {

enum class VertexPath { BufferObjects, ArrayObjects, DisplayLists };

// Buffer objects win over ATI array objects; display lists need no extension.
VertexPath chooseVertexPath(const GlCaps& caps);

// Positions only, three floats per vertex (12 bytes), for an upload without normals.
// Null when the memory cannot be had.
std::unique_ptr<float[]> packedPositions(const MeshVertex* vertices, int count);

class GeometryMesh {
 public:
  // Chooses the path from the context's caps (which must outlive the mesh), makes sure
  // the process-wide vertex store is built for the configured screen, uploads the fan
  // and the list and selects the fan. Works on the current context. On a shortage of
  // memory errorText is set and nothing is left to draw (release is still safe).
  GeometryMesh(const GlCaps& caps, bool withNormals);
  GeometryMesh(const GeometryMesh&) = delete;
  GeometryMesh& operator=(const GeometryMesh&) = delete;

  bool ready() const { return errorText == nullptr; }
  VertexPath path() const;

  // Select the primitive set that draw() draws and point the GL's arrays at it.
  void selectFan();
  void selectList();
  // One draw of the selected set.
  void draw() const;
  // Deletes the mesh's GL objects; the vertex store is left alone.
  void release();

  GLuint fanList = 0, triList = 0;
  GLuint fanBuffer = 0, triBuffer = 0;
  GLuint fanObject = 0, triObject = 0;
  int fanTriangles = 0;
  int listTriangles = 0;
  bool fanMode = true;
  bool useBufferObjects = false;
  bool useArrayObjects = false;
  bool withNormals = false;
  const char* errorText = nullptr;

 private:
  const GlCaps& caps_;  // the entry points of the buffer and array object paths

  bool uploadBufferObjects(const MeshVertexStore& store);
  bool uploadArrayObjects(const MeshVertexStore& store);
  void compileDisplayLists(const MeshVertexStore& store);
  void pointArrays();
};

}  // namespace corvalis
