#include "measurements/geometry.h"

#include <cstdio>
#include <utility>
#include <vector>

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
LoopSpec geometryLoop() {
  LoopSpec spec;
  spec.step = 3;
  spec.cap = 50000;
  spec.minSeconds = 2.0;
  spec.warmupSwap = false;  // every warm-up frame swaps on its own
  spec.warmupBeforeTimers = true;
  return spec;
}

// Times the primitive set of the mesh that 'enter' selects; triangles per unit of work.
Timed timedMesh(const GeometryMesh& mesh, const SyncMethod& sync, Batch enter, bool chained) {
  Timed timed;
  timed.spec = geometryLoop();
  timed.enter = std::move(enter);
  timed.chained = chained;
  // Three frames that show the mesh, drawn with culling off; then culling on, so that
  // every timed triangle (clockwise on screen) is rejected after transformation.
  timed.warmup = [&mesh, &sync] {
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);
    for (int frame = 0; frame < 3; ++frame) {
      glClear(GL_COLOR_BUFFER_BIT);
      mesh.draw();
      sync.swap();
    }
    glEnable(GL_CULL_FACE);
  };
  timed.batch = [&mesh] {
    mesh.draw();
    mesh.draw();
    mesh.draw();
  };
  return timed;
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
    if (!failed) failed = !measure(window, context);
  }
  hasRun = true;
}

namespace {

// In rounds, a slice of an unlit workload after one of the lit ones finds lighting off
// and the extra lights gone, and the first light with its default colour.
void resetLighting() {
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glDisable(GL_LIGHTING);
  for (int i = 0; i < ExtraPointLights; ++i) glDisable(GL_LIGHT1 + i);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
}

// The mesh's error text as the test's mode text; false.
bool meshFailed(GeometryMesh& mesh, char* modeText, size_t size) {
  mesh.release();
  std::snprintf(modeText, size, "%s", mesh.errorText);
  return false;
}

}  // namespace

bool GeometryTest::measure(const TestWindow& window, const RunContext& context) {
  const SyncMethod sync = window.syncMethod();
  setupGeometryState();
  // A single run measures the unlit workloads on one mesh and the lit ones on a mesh
  // with normals made after the first is gone; rounds visit all six, so both are kept.
  const bool inRounds = context.inRounds();
  const auto swapThen = [&sync](void (*setup)()) -> Batch {
    return [&sync, setup] {
      sync.swap();
      setup();
    };
  };

  GeometryMesh plain(window.caps, false);
  if (!plain.ready()) return meshFailed(plain, modeText, sizeof modeText);
  std::vector<Timed> set = {
      timedMesh(plain, sync, [&plain] {
        loadMeshMatrix();
        plain.selectFan();
      }, false),
      timedMesh(plain, sync, [&plain, &sync] {
        sync.swap();
        plain.selectList();
      }, true),
      timedMesh(plain, sync, [&plain, &sync] {
        sync.swap();
        setupClippedMatrix();
        plain.selectList();
      }, true),
  };
  const auto litSet = [&](GeometryMesh& lit) {
    return std::vector<Timed>{
        timedMesh(lit, sync, [&lit] {
          loadMeshMatrix();
          setupDirectionalLight();
          lit.selectList();
        }, false),
        timedMesh(lit, sync, [&lit, setup = swapThen(setupPointLight)] {
          setup();
          lit.selectList();
        }, true),
        timedMesh(lit, sync, [&lit, setup = swapThen(setupEightPointLights)] {
          setup();
          lit.selectList();
        }, true),
    };
  };
  std::vector<LoopResult> timed;
  int litTriangles = 0;
  if (inRounds) {
    GeometryMesh lit(window.caps, true);
    if (!lit.ready()) {
      plain.release();
      return meshFailed(lit, modeText, sizeof modeText);
    }
    litTriangles = lit.listTriangles;
    for (Timed& workload : litSet(lit)) set.push_back(std::move(workload));
    const Batch base = [] {
      setupGeometryState();
      resetLighting();
    };
    timed = measureSet(set, base, sync, context);
    sync.swap();
    lit.release();
    plain.release();
  } else {
    timed = measureSet(set, Batch(), sync, context);
    sync.swap();
    plain.release();
    GeometryMesh lit(window.caps, true);
    if (!lit.ready()) return meshFailed(lit, modeText, sizeof modeText);
    litTriangles = lit.listTriangles;
    for (LoopResult& result : measureSet(litSet(lit), Batch(), sync, context))
      timed.push_back(std::move(result));
    sync.swap();
    lit.release();
  }
  glDisable(GL_LIGHTING);
  fanRate = timed[0].measured(plain.fanTriangles);
  listRate = timed[1].measured(plain.listTriangles);
  clipRate = timed[2].measured(plain.listTriangles);
  lightD1Rate = timed[3].measured(litTriangles);
  lightP1Rate = timed[4].measured(litTriangles);
  lightP8Rate = timed[5].measured(litTriangles);
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

std::optional<Measured> GeometryTest::headline() const {
  if (failed) return std::nullopt;
  return fanRate;
}

void GeometryTest::summary(char* buffer) {
  if (failed) return;
  std::snprintf(buffer, SummarySize, "%sTris/s", formatDecimal(fanRate.value).c_str());
}

}  // namespace corvalis
