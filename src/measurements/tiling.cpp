#include "measurements/tiling.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "framework/gl_errors.h"
#include "framework/measurement_loop.h"
#include "framework/progress.h"
#include "framework/sample_stats.h"
#include "framework/stop_request.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "measurements/csv_data_file.h"
#include "platform/gl_include.h"
#include "report/data_files.h"
#include "report/output_file.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

constexpr GLbitfield AllBuffers = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;

// The tiling row of the loop family: one glDrawElements a batch, each followed by a
// glFlush whatever sync method was chosen, at least 0.1875 s or 600 batches.
LoopSpec tilingLoop(int repeats) {
  LoopSpec spec;
  spec.repeats = repeats;
  spec.step = 1;
  spec.cap = 600;
  spec.minSeconds = 0.1875;
  spec.batchEnd = BatchEnd::Flush;
  spec.warmupSwap = false;  // the preparation swaps before it clears
  return spec;
}

// The sweep behind each data file, in the order of TileDataFiles.
constexpr int fileSweeps[TileConfigs] = {TileCombined, TileColor, TileDepth, TileStencil};

// With repeats, the slices of a pattern together take this many times its single window,
// in eight slices per repeat: enough pairs for a narrow interval, few enough that the
// drain after every slice stays a small part of the time.
constexpr double SliceBudget = 1.4;
constexpr int SlicesPerRepeat = 8;
// Batches a slice draws at least. At a large screen a slice's share of the window holds
// one or two batches, and a slice of one batch on a busy machine times the scheduler's
// tick (its rates come out as 1 / 4 ms, 1 / 8 ms, ...) instead of the pattern.
constexpr int MinBatchesPerSlice = 4;

// Places the strips (or bands) of a step; returns how many there are.
using Placement = std::function<int(int step)>;

// Times the aligned and the offset pattern of one block size, 'repeats' times in
// alternating order, into rates[step] and rates[step + 1] (batches per second, the
// median of the repeats) and, with repeats, into samples. A block with no strip on this
// screen is not timed and keeps rates of 0. Returns the GL errors seen.
std::string timeBlock(const SyncMethod& sync, const uint16_t* indices, int step,
                      const Placement& place, const Batch& preparation, float* rates,
                      std::vector<float>* samples, int repeats) {
  // Both patterns of a block draw the same number of strips.
  const int strips = place(step);
  if (strips <= 0) return "";
  int count = 0;
  const Batch batch = [indices, strips, &count] {
    // A colour that changes every batch, so that no two batches write the same pixels.
    glColor4ub(static_cast<GLubyte>(count), static_cast<GLubyte>(255 - count % 256),
               static_cast<GLubyte>(127 - count), 18);
    glDrawElements(GL_QUADS, 4 * strips, GL_UNSIGNED_SHORT, indices);
    ++count;
  };
  // Each timed part places its own pattern first: the two alternate.
  const auto patternWarmup = [&](int patternStep) -> Batch {
    return [&, patternStep] {
      place(patternStep);
      count = 0;
      preparation();
    };
  };
  std::vector<LoopResult> timed;
  if (repeats > 1) {
    // Many short slices of the two patterns in turn on one prepared buffer, so that
    // load falls on both alike and each aligned slice has an offset one beside it.
    const int rounds = SlicesPerRepeat * repeats;
    const auto placeOnly = [&](int patternStep) -> Batch {
      return [&, patternStep] { place(patternStep); };
    };
    preparation();
    LoopSpec slice = sliceOf(tilingLoop(repeats), rounds, SliceBudget);
    slice.minCount = MinBatchesPerSlice;
    timed = runInRounds(slice, sync, rounds,
                        {{batch, placeOnly(step)}, {batch, placeOnly(step + 1)}});
  } else {
    const std::pair<LoopResult, LoopResult> pair = runMeasurementPair(
        tilingLoop(repeats), sync, batch, patternWarmup(step), batch, patternWarmup(step + 1));
    timed = {pair.first, pair.second};
  }
  const LoopResult* results[2] = {&timed[0], &timed[1]};
  std::string glError;
  for (int pattern = 0; pattern < 2; ++pattern) {
    mergeGlErrors(glError, results[pattern]->glError);
    rates[step + pattern] = static_cast<float>(results[pattern]->rate(1.0));
    if (results[pattern]->repeats.size() < 2) continue;
    // Slices add to those of an earlier pass; the rate is the median of them all.
    std::vector<float>& kept = samples[step + pattern];
    for (double rate : results[pattern]->rates(1.0)) kept.push_back(static_cast<float>(rate));
    rates[step + pattern] =
        static_cast<float>(summarizeSamples(std::vector<double>(kept.begin(), kept.end())).median);
  }
  return glError;
}

// A full-screen quad with a horizontal colour ramp, drawn and swapped.
void drawRampQuad(const GLubyte left[4], const GLubyte right[4], const SyncMethod& sync) {
  glBegin(GL_QUADS);
  glColor4ubv(left);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glColor4ubv(left);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glColor4ubv(right);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glColor4ubv(right);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glEnd();
  sync.swap();
}

std::vector<double> toDoubles(const std::vector<float>& values) {
  return std::vector<double>(values.begin(), values.end());
}

// One line of a sweep: the size found, or "none"; its evidence; the GL errors of the
// sweep.
void writeTileLine(ResultReport& report, int size, const std::optional<Evidence>& evidence,
                   const std::string& glError, const char* foundText, const char* noneText,
                   const char* label) {
  if (size > 0) {
    Measured found(size);
    found.evidence = evidence;
    found.glError = glError;
    report.addValue(found, nullptr, foundText, label);
  } else {
    report.addItem("none", noneText, label);
    if (evidence) report.addEvidence(label, *evidence);
    if (!glError.empty()) report.addGlError(label, glError);
  }
}

// The two report lines of one sweep.
void writeSweepLines(ResultReport& report, const TileSweep& sweep) {
  writeTileLine(report, sweep.tileWidth, sweep.widthEvidence, sweep.glError, " pixels wide",
                " detected in x-direction", "Width");
  writeTileLine(report, sweep.tileHeight, sweep.heightEvidence, sweep.glError, " pixels high",
                " detected in y-direction", "Height");
}

// --- State of each sweep, in the order they run ---

// Colour only: blended writes, no depth or stencil access.
void setupColorSweepState() {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_STENCIL_TEST);
  glStencilMask(0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

// Three full-screen ramp quads shown between the colour and the other sweeps.
void drawRampQuads(const SyncMethod& sync) {
  const GLubyte blue[4] = {64, 64, 255, 255}, yellow[4] = {192, 192, 0, 255};
  const GLubyte red[4] = {192, 0, 0, 255}, green[4] = {0, 255, 128, 255};
  drawRampQuad(blue, yellow, sync);
  drawRampQuad(red, green, sync);
  drawRampQuad(blue, yellow, sync);
}

// Depth only, the depth test passing.
void setupDepthSweepState() {
  // NOTE: a disabled depth test also skips the depth writes, so the test is enabled with
  // a comparison that always passes.
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_ALWAYS);
  glEnable(GL_DEPTH_TEST);
}

// Stencil only, replacing the value; the stencil test passes, the depth test is off.
void setupStencilSweepState() {
  // The stencil test is enabled for the reason the depth test was.
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glStencilMask(0xFFFFFFFFu);
  glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
  glStencilFunc(GL_ALWAYS, 3, 3);
  glEnable(GL_STENCIL_TEST);
}

// All buffers: colour, depth and stencil (the stencil settings above) written together.
void setupCombinedSweepState() {
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
}

// The strips' vertex array, a black clear colour and the strips' first colour.
void setupStripState(const std::vector<float>& vertices) {
  glVertexPointer(2, GL_FLOAT, 2 * sizeof(float), vertices.data());
  glEnableClientState(GL_VERTEX_ARRAY);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColor4ub(128, 128, 192, 17);
}

// Every buffer cleared on both sides of a swap, before a direction's sweep.
void clearBothBuffers(const SyncMethod& sync) {
  glClear(AllBuffers);
  sync.swap();
  glClear(AllBuffers);
}

// The vertex and index arrays of the strips, big enough for either direction.
struct StripArrays {
  StripArrays(int screenW, int screenH)
      : width(screenW), height(screenH), capacity(stripQuadCapacity(screenW, screenH)),
        vertices(static_cast<size_t>(capacity) * 8), indices(static_cast<size_t>(capacity) * 4) {}
  int width, height, capacity;
  std::vector<float> vertices;
  std::vector<uint16_t> indices;
};

// Block indices (0 for 64 px to 5 for 2 px) of a direction's sweep.
using Blocks = std::vector<int>;

Blocks allBlocks() {
  Blocks blocks;
  for (int k = 0; k < TileSteps / 2; ++k) blocks.push_back(k);
  return blocks;
}

// One direction of a sweep: full-height strips (columns) or full-width bands counted from
// the top (rows), set up on cleared buffers, the given block sizes timed aligned and
// offset into rates and samples, the GL errors seen added to glError.
void sweepDirection(const SyncMethod& sync, bool columns, StripArrays& strips, float* rates,
                    std::vector<float>* samples, std::string& glError, const std::string& phase,
                    int repeats, const Blocks& blocks) {
  if (columns)
    setupColumnQuads(strips.vertices.data(), strips.indices.data(),
                     std::min(strips.width / 4, strips.capacity));
  else
    setupRowQuads(strips.vertices.data(), strips.indices.data(),
                  std::min(strips.height / 4, strips.capacity));
  clearBothBuffers(sync);
  // Before each timed pattern: a swap and a clear; the columns also set the blend anew.
  const Batch preparation = [&sync, columns] {
    sync.swap();
    glClear(AllBuffers);
    if (!columns) return;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
  };
  const Placement place = [&strips, columns](int step) {
    return columns ? placeColumnStrips(strips.vertices.data(), strips.width, step, strips.capacity)
                   : placeRowStrips(strips.vertices.data(), strips.height, step, strips.capacity);
  };
  for (size_t i = 0; i < blocks.size(); ++i) {
    reportProgress(phase.c_str(), static_cast<int>(i) + 1, static_cast<int>(blocks.size()));
    mergeGlErrors(glError, timeBlock(sync, strips.indices.data(), 2 * blocks[i], place,
                                     preparation, rates, samples, repeats));
  }
}

// The further passes over the two contested blocks of a direction whose answer is
// uncertain: one with a fixed repeat count; the adaptive mode, which starts from fewer
// repeats, takes up to three while time is left.
constexpr int ExtraPasses = 1;
constexpr int AutoExtraPasses = 3;

// The blocks an uncertain decision hangs on: its step and the runner-up.
Blocks contestedBlocks(const Evidence& evidence) {
  Blocks blocks;
  for (const std::optional<StepEstimate>& block : {evidence.step, evidence.runnerUp})
    for (int k = 0; block && k < TileSteps / 2; ++k)
      if (block->position == (64 >> k)) blocks.push_back(k);
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

// The decision on one direction measured with repeats. While it comes out uncertain, the
// step and the runner-up are timed again and the direction decided on the slices of every
// pass: a block whose slices a burst of load scattered is then pinned down, while two
// steps that are truly alike stay uncertain. The other blocks, which the decision does
// not hang on, keep the slices of the first pass.
TileDecision decideOrSweepAgain(const std::vector<float>* samples,
                                const std::function<void(const Blocks&)>& sweepAgain,
                                const RunContext& context) {
  TileDecision decision = decideTileSize(samples);
  const int passes = context.adaptive ? AutoExtraPasses : ExtraPasses;
  for (int pass = 0; pass < passes; ++pass) {
    if (!decision.complete || decision.evidence.confidence != Confidence::Uncertain ||
        stopRequested() || context.pastDeadline())
      break;
    const Blocks blocks = contestedBlocks(decision.evidence);
    if (blocks.empty()) break;
    sweepAgain(blocks);
    decision = decideTileSize(samples);
  }
  return decision;
}

}  // namespace

void TilingTest::run(const RunContext& context) {
  for (TileSweep& sweep : sweeps) sweep = TileSweep();
  hasDepth = false;
  hasStencil = false;
  {
    TestWindow window(32, true, true);
    window.describeFormat(modeText, sizeof modeText);
    failed = window.initFailed;
    if (!failed) measure(window, context);
  }
  if (!failed && context.repeats <= 1) judgeSingleRun();
  hasRun = true;
}

// How sure each answer of a single run is: judged against the largest noise of all the
// directions measured, since load that shook one sweep may have missed another by chance.
void TilingTest::judgeSingleRun() {
  const bool measured[TileConfigs] = {true, hasDepth, hasStencil, hasDepth || hasStencil};
  double noise = 0.0;
  for (int s = 0; s < TileConfigs; ++s)
    if (measured[s])
      noise = std::max({noise, tileSweepNoise(sweeps[s].xRates), tileSweepNoise(sweeps[s].yRates)});
  for (int s = 0; s < TileConfigs; ++s) {
    if (!measured[s]) continue;
    sweeps[s].widthEvidence = judgeTileSize(sweeps[s].xRates, noise);
    sweeps[s].heightEvidence = judgeTileSize(sweeps[s].yRates, noise);
  }
}

// Everything between the window's creation and its destruction.
void TilingTest::measure(const TestWindow& window, const RunContext& context) {
  hasDepth = window.depthBytes > 0;
  hasStencil = window.stencilBytes > 0;
  const SyncMethod sync = window.syncMethod();
  setupColorSweepState();
  measureTiles(sync, sweeps[TileColor], context);
  drawRampQuads(sync);
  setupDepthSweepState();
  if (hasDepth) measureTiles(sync, sweeps[TileDepth], context);
  setupStencilSweepState();
  if (hasStencil) measureTiles(sync, sweeps[TileStencil], context);
  if (!hasDepth && !hasStencil) return;
  setupCombinedSweepState();
  measureTiles(sync, sweeps[TileCombined], context);
}

// The column and the row sweep in the state the caller set, then the detection.
void TilingTest::measureTiles(const SyncMethod& sync, TileSweep& sweep,
                              const RunContext& context) {
  const int repeats = context.detectionRepeats();
  StripArrays strips(screenWidth, screenHeight);
  setupStripState(strips.vertices);

  const char* const bufferNames[TileConfigs] = {"color", "depth", "stencil", "all buffers"};
  const std::string buffer = bufferNames[&sweep - sweeps];
  const auto sweepColumns = [&](const Blocks& blocks) {
    sweepDirection(sync, true, strips, sweep.xRates, sweep.xSamples, sweep.glError,
                   "columns, " + buffer, repeats, blocks);
  };
  const auto sweepRows = [&](const Blocks& blocks) {
    sweepDirection(sync, false, strips, sweep.yRates, sweep.ySamples, sweep.glError,
                   "rows, " + buffer, repeats, blocks);
  };
  sweepColumns(allBlocks());
  sweepRows(allBlocks());
  if (repeats > 1) {
    const TileDecision width = decideOrSweepAgain(sweep.xSamples, sweepColumns, context);
    const TileDecision height = decideOrSweepAgain(sweep.ySamples, sweepRows, context);
    sweep.tileWidth = width.blockSize;
    sweep.tileHeight = height.blockSize;
    // A sweep cut short decides nothing and carries no evidence.
    if (width.complete) sweep.widthEvidence = width.evidence;
    if (height.complete) sweep.heightEvidence = height.evidence;
  } else {
    // One sweep: the rule's answer, judged once every sweep is in (judgeSingleRun).
    sweep.tileWidth = detectTileSize(sweep.xRates);
    sweep.tileHeight = detectTileSize(sweep.yRates);
  }
}

void TilingTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  report.beginGroup("preferred block alignment", nullptr);
  const char* const texts[TileConfigs] = {"updating all buffers", "in color buffer",
                                          "in depth buffer", "in stencil buffer"};
  const bool shown[TileConfigs] = {hasDepth || hasStencil, true, hasDepth, hasStencil};
  for (int file = 0; file < TileConfigs; ++file) {
    if (!shown[file]) continue;
    const DataFileKind& kind = TileDataFiles[file];
    report.beginGroupWithLink(texts[file], kind.key, "CSV", kind.suffix);
    writeSweepLines(report, sweeps[fileSweeps[file]]);
    report.endGroup();
  }
  report.endGroup();
}

void TilingTest::summary(char* buffer) {
  const TileSweep& sweep = (hasDepth || hasStencil) ? sweeps[TileCombined] : sweeps[TileColor];
  std::snprintf(buffer, SummarySize, "%dx%d", static_cast<int>(sweep.tileWidth),
                static_cast<int>(sweep.tileHeight));
}

std::string TilingTest::summaryConfidence() const {
  const TileSweep& sweep = (hasDepth || hasStencil) ? sweeps[TileCombined] : sweeps[TileColor];
  if (failed || !sweep.widthEvidence || !sweep.heightEvidence) return "";
  const Confidence width = sweep.widthEvidence->confidence;
  const Confidence height = sweep.heightEvidence->confidence;
  if (width == height) return confidenceWord(width);
  return std::string(confidenceWord(width)) + " x " + confidenceWord(height);
}

void TilingTest::writeSweeps(ResultReport& report) {
  for (int file = 0; file < TileConfigs; ++file) {
    const TileSweep& sweep = sweeps[fileSweeps[file]];
    std::vector<SweepRow> rows;
    for (int k = 0; k < TileSteps / 2; ++k) {
      rows.push_back({{"block", static_cast<double>(64 >> k), {}},
                      {"widthAligned", sweep.xRates[2 * k], toDoubles(sweep.xSamples[2 * k])},
                      {"widthOffset", sweep.xRates[2 * k + 1], toDoubles(sweep.xSamples[2 * k + 1])},
                      {"heightAligned", sweep.yRates[2 * k], toDoubles(sweep.ySamples[2 * k])},
                      {"heightOffset", sweep.yRates[2 * k + 1], toDoubles(sweep.ySamples[2 * k + 1])}});
    }
    report.addSweep(TileDataFiles[file].name, rows);
  }
}

void TilingTest::writeDataFiles(const char* baseName, FileGroup& group) {
  // All four files, measured or not; an unmeasured sweep holds zero rates.
  for (int file = 0; file < TileConfigs; ++file) {
    OutputFile* out = openDataFile(group, baseName, TileDataFiles[file].suffix);
    if (!out) continue;
    out->write(tileCsvText(sweeps[fileSweeps[file]]));
    out->finish();
  }
}

}  // namespace corvalis
