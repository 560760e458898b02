#include "measurements/geometry.h"

#include <cstdio>

#include "framework/format.h"
#include "framework/measurement_loop.h"
#include "gl/window.h"
#include "measurements/geometry_mesh.h"
#include "measurements/mesh_generator.h"
#include "platform/gl_include.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Three draws per batch, at least 2 s or 50000 draws; the warm-up frames come before
// the timers.
LoopSpec geometryLoop(int repeats) {
  LoopSpec spec;
  spec.repeats = repeats;
  spec.step = 3;
  spec.cap = 50000;
  spec.minSeconds = 2.0;
  spec.warmupSwap = false;  // every warm-up frame swaps on its own
  spec.warmupBeforeTimers = true;
  return spec;
}

// Times the selected primitive set of the mesh; triangles per second.
Measured timeSelected(GeometryMesh& mesh, const SyncMethod& sync, int trianglesPerDraw,
                    int repeats) {
  // Three frames that show the mesh, drawn with culling off; then culling on, so that
  // every timed triangle (clockwise on screen) is rejected after transformation.
  const Batch warmup = [&] {
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);
    for (int frame = 0; frame < 3; ++frame) {
      glClear(GL_COLOR_BUFFER_BIT);
      mesh.draw();
      sync.swap();
    }
    glEnable(GL_CULL_FACE);
  };
  const Batch batch = [&] {
    mesh.draw();
    mesh.draw();
    mesh.draw();
  };
  return runMeasurementLoop(geometryLoop(repeats), sync, batch, warmup).measured(trianglesPerDraw);
}

Measured timeFan(GeometryMesh& mesh, const TestWindow& window, int repeats) {
  mesh.selectFan();
  return timeSelected(mesh, window.syncMethod(), mesh.fanTriangles, repeats);
}

Measured timeList(GeometryMesh& mesh, const TestWindow& window, int repeats) {
  mesh.selectList();
  return timeSelected(mesh, window.syncMethod(), mesh.listTriangles, repeats);
}

// --- State of each workload, in the order they run ---

// White vertices over a dark blue clear colour, for every workload.
void setupGeometryState() {
  glColor4ub(255, 255, 255, 255);
  glClearColor(0.0f, 0.0f, 0.25f, 1.0f);
}

// The mesh inside the view volume: turned by 11 degrees and scaled to 0.825, so its
// corners reach at most 0.967 in x or y.
void loadMeshMatrix() {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(11.0f, 0.0f, 0.0f, 1.0f);
  glScalef(0.825f, 0.825f, 0.825f);
}

// The mesh matrix scaled on to 2.0625: most of the list lies outside the view volume.
void setupClippedMatrix() { glScalef(2.5f, 2.5f, 2.5f); }

// Lighting on with one directional light, its direction given under the mesh matrix.
void setupDirectionalLight() {
  // The GL transforms light positions with the matrix; materials, attenuation and
  // specular stay default.
  const GLfloat directional[4] = {-0.707f, 0.0f, 0.707f, 0.0f};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_POSITION, directional);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
}

// GL_LIGHT0 turned into a coloured point light.
void setupPointLight() {
  const GLfloat pointPosition[4] = {0.625f, 0.625f, 0.625f, 1.0f};
  const GLfloat pointDiffuse[4] = {0.625f, 0.825f, 0.275f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, pointPosition);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, pointDiffuse);
  // Re-seeded so that the further lights are the same in every run.
  meshGenerator().meshRandom = PointLightSeed;
}

// Seven more point lights join the one of GL_LIGHT0.
void setupEightPointLights() {
  const auto lights = nextPointLights(meshGenerator());
  for (int i = 0; i < ExtraPointLights; ++i) {
    const GLenum light = GL_LIGHT1 + i;
    glEnable(light);
    glLightfv(light, GL_POSITION, lights[i].position);
    glLightfv(light, GL_DIFFUSE, lights[i].diffuse);
  }
}

}  // namespace

void GeometryTest::run(const RunContext& context) {
  {
    TestWindow window(16, false, false);
    failed = window.initFailed;
    window.describeFormat(modeText, sizeof(modeText));
    if (!failed) failed = !measure(window, context.repeats);
  }
  hasRun = true;
}

bool GeometryTest::measure(const TestWindow& window, int repeats) {
  const SyncMethod sync = window.syncMethod();
  setupGeometryState();

  // Unlit workloads: positions only.
  {
    GeometryMesh mesh(window.caps, false);
    if (!mesh.ready()) {
      mesh.release();
      std::snprintf(modeText, sizeof(modeText), "%s", mesh.errorText);
      return false;
    }
    loadMeshMatrix();
    fanRate = timeFan(mesh, window, repeats);
    sync.swap();
    listRate = timeList(mesh, window, repeats);
    sync.swap();
    setupClippedMatrix();
    clipRate = timeList(mesh, window, repeats);
    sync.swap();
    mesh.release();
  }

  // Lit workloads: normals too.
  loadMeshMatrix();
  GeometryMesh mesh(window.caps, true);
  if (!mesh.ready()) {
    mesh.release();
    std::snprintf(modeText, sizeof(modeText), "%s", mesh.errorText);
    return false;
  }
  setupDirectionalLight();
  lightD1Rate = timeList(mesh, window, repeats);
  sync.swap();
  setupPointLight();
  lightP1Rate = timeList(mesh, window, repeats);
  sync.swap();
  setupEightPointLights();
  lightP8Rate = timeList(mesh, window, repeats);
  sync.swap();

  mesh.release();
  glDisable(GL_LIGHTING);
  return true;
}

void GeometryTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  report.beginGroup("Plain vertices", "Plain");
  report.addValue(fanRate, "Tris/s", " as triangle fan", "Fan");
  report.addValue(listRate, "Tris/s", " as triangle list", "List");
  report.addValue(clipRate, "Tris/s", " clipped", "Clip");
  report.endGroup();
  // No key: these values sit directly under the test's own key.
  report.beginGroup("Vertex shading speed", nullptr);
  report.addValue(lightD1Rate, "Tris/s", " lit (one directional light)", "LightD1");
  report.addValue(lightP1Rate, "Tris/s", " lit (one point light)", "LightP1");
  report.addValue(lightP8Rate, "Tris/s", " lit (eight point lights)", "LightP8");
  report.endGroup();
}

void GeometryTest::summary(char* buffer) {
  if (failed) return;
  std::snprintf(buffer, SummarySize, "%sTris/s", formatDecimal(fanRate.value).c_str());
}

}  // namespace corvalis
