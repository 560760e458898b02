#include "measurements/tile_detection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/format.h"
#include "framework/sample_stats.h"
#include "measurements/csv_data_file.h"

namespace corvalis {

int stripQuadCapacity(int width, int height) {
  const int larger = std::max(width, height);
  if (larger <= 0) return 0;
  // 16-bit indices address 65536 vertices, 16384 quads.
  return std::min(larger / 4, 16384);
}

void setupColumnQuads(float* vertices, uint16_t* indices, int quads) {
  for (int q = 0; q < quads; ++q) {
    const int v = 4 * q;
    vertices[2 * v + 1] = 1.0f;
    vertices[2 * v + 3] = -1.0f;
    vertices[2 * v + 5] = 1.0f;
    vertices[2 * v + 7] = -1.0f;
    indices[v] = static_cast<uint16_t>(v);
    indices[v + 1] = static_cast<uint16_t>(v + 1);
    indices[v + 2] = static_cast<uint16_t>(v + 3);
    indices[v + 3] = static_cast<uint16_t>(v + 2);
  }
}

int placeColumnStrips(float* vertices, int width, int step, int capacity) {
  const int block = blockSizeOfStep(step);
  const int offset = stripOffsetOfStep(step);
  const int strips = std::min(stripCountOfStep(width, step), capacity);
  const float px = 2.0f / static_cast<float>(width);
  for (int i = 0; i < strips; ++i) {
    const float x0 = static_cast<float>(offset + 2 * block * i) * px - 1.0f;
    const float x1 = x0 + static_cast<float>(block) * px;
    const int v = 4 * i;
    vertices[2 * v] = x0;
    vertices[2 * (v + 1)] = x0;
    vertices[2 * (v + 2)] = x1;
    vertices[2 * (v + 3)] = x1;
  }
  return strips;
}

void setupRowQuads(float* vertices, uint16_t* indices, int quads) {
  for (int q = 0; q < quads; ++q) {
    const int v = 4 * q;
    vertices[2 * v] = -1.0f;
    vertices[2 * v + 2] = 1.0f;
    vertices[2 * v + 4] = -1.0f;
    vertices[2 * v + 6] = 1.0f;
    indices[v] = static_cast<uint16_t>(v);
    indices[v + 1] = static_cast<uint16_t>(v + 2);
    indices[v + 2] = static_cast<uint16_t>(v + 3);
    indices[v + 3] = static_cast<uint16_t>(v + 1);
  }
}

int placeRowStrips(float* vertices, int height, int step, int capacity) {
  const int block = blockSizeOfStep(step);
  const int offset = stripOffsetOfStep(step);
  const int bands = std::min(stripCountOfStep(height, step), capacity);
  const float py = -2.0f / static_cast<float>(height);
  for (int i = 0; i < bands; ++i) {
    const float y0 = static_cast<float>(offset + 2 * block * i) * py + 1.0f;
    const float y1 = y0 + static_cast<float>(block) * py;
    const int v = 4 * i;
    vertices[2 * v + 1] = y0;
    vertices[2 * (v + 1) + 1] = y0;
    vertices[2 * (v + 2) + 1] = y1;
    vertices[2 * (v + 3) + 1] = y1;
  }
  return bands;
}

int detectTileSize(const float rates[16]) {
  float threshold = 0.985f;
  int best = -1;
  for (int k = 0; k < TileSteps / 2; ++k) {
    const float aligned = rates[2 * k];
    const float offset = rates[2 * k + 1];
    // A step that drew nothing (screen smaller than two blocks) has no rate to compare.
    if (!(aligned > 0.0f) || !(offset > 0.0f)) continue;
    const float ratio = offset / aligned;
    if (ratio < threshold) {
      threshold = ratio * 0.985f;
      best = k;
    }
  }
  return best < 0 ? 0 : 64 >> best;
}

namespace {

constexpr float TileThreshold = 0.985f;

// The median offset / aligned ratio of block k's paired slices and its interval; false
// when the slices do not pair up or one is not a positive number.
bool blockRatio(const std::vector<float> samples[TileSteps], int k, StepEstimate& out) {
  const std::vector<float>& aligned = samples[2 * k];
  const std::vector<float>& offset = samples[2 * k + 1];
  if (aligned.size() < 2 || aligned.size() != offset.size()) return false;
  std::vector<double> ratios;
  for (size_t i = 0; i < aligned.size(); ++i) {
    if (!(aligned[i] > 0.0f) || !(offset[i] > 0.0f) || !std::isfinite(aligned[i]) ||
        !std::isfinite(offset[i]))
      return false;
    ratios.push_back(static_cast<double>(offset[i]) / aligned[i]);
  }
  const MedianInterval interval = medianInterval(ratios);
  out.position = 64 >> k;
  out.ratio = interval.median;
  out.low = interval.low;
  out.high = interval.high;
  return true;
}

// The block with the deepest ratio, leaving one out; null when there is none.
const StepEstimate* deepest(const std::vector<StepEstimate>& blocks, const StepEstimate* without) {
  const StepEstimate* found = nullptr;
  for (const StepEstimate& block : blocks)
    if (&block != without && (!found || block.ratio < found->ratio)) found = &block;
  return found;
}

bool belowThreshold(const StepEstimate* block) {
  return block && static_cast<float>(block->ratio) < TileThreshold;
}

// Whether the runner-up lies deeper than the chosen block by more than the two intervals
// allow together: the gap between their ratios against the root of the squared
// half-widths that face each other.
bool apart(const StepEstimate& chosen, const StepEstimate& runnerUp) {
  const double facingChosen = chosen.high - chosen.ratio;
  const double facingRunnerUp = runnerUp.ratio - runnerUp.low;
  return runnerUp.ratio - chosen.ratio >
         std::sqrt(facingChosen * facingChosen + facingRunnerUp * facingRunnerUp);
}

}  // namespace

TileDecision decideTileSize(const std::vector<float> samples[TileSteps]) {
  TileDecision decision;
  std::vector<StepEstimate> blocks;
  for (int k = 0; k < TileSteps / 2; ++k) {
    // A block with no strip on this screen was not timed.
    if (samples[2 * k].empty() && samples[2 * k + 1].empty()) continue;
    StepEstimate block;
    if (!blockRatio(samples, k, block)) return decision;
    blocks.push_back(block);
  }
  decision.complete = true;
  decision.evidence.threshold = TileThreshold;
  decision.evidence.unit = "px";

  // The selection of the single-run rule, over the blocks beyond their own noise.
  float threshold = TileThreshold;
  const StepEstimate* chosen = nullptr;
  for (const StepEstimate& block : blocks) {
    if (static_cast<float>(block.ratio) < threshold && block.high < 1.0) {
      threshold = static_cast<float>(block.ratio) * TileThreshold;
      chosen = &block;
    }
  }
  const StepEstimate* step = chosen ? chosen : deepest(blocks, nullptr);
  const StepEstimate* runnerUp = step ? deepest(blocks, step) : nullptr;
  if (step) decision.evidence.step = *step;
  if (runnerUp) decision.evidence.runnerUp = *runnerUp;

  if (!belowThreshold(step)) {
    decision.evidence.confidence = Confidence::None;
  } else if (chosen && (!belowThreshold(runnerUp) || apart(*chosen, *runnerUp))) {
    decision.evidence.confidence = Confidence::Clear;
    decision.blockSize = static_cast<int>(chosen->position);
  } else {
    decision.evidence.confidence = Confidence::Uncertain;
  }
  return decision;
}

namespace {

// A single run's clear step lies this many times the sweep's noise below 1...
constexpr double SingleRunNoiseMultiple = 4.0;
// ...and at least this far (as a log ratio, about 5 %), however quiet the sweep.
constexpr double SingleRunMinDrop = 0.05;
// The runner-up may lie at most this share as far from 1 as the clear step.
constexpr double SingleRunRunnerUpShare = 0.5;
// Offset strips touch at most twice the tiles that aligned ones touch: a ratio below a
// half is the machine stalling during one pattern, not a tile.
constexpr double DeepestTileRatio = 0.5;

// The median of the absolute values as a standard deviation (for normal noise about 0).
double noiseOfLogs(const std::vector<double>& logs) {
  if (logs.empty()) return 0.0;
  std::vector<double> sizes;
  for (double value : logs) sizes.push_back(std::fabs(value));
  return 1.4826 * summarizeSamples(sizes).median;
}

// How far a block's ratio lies from 1, either way, as a log ratio.
double distanceFromOne(const StepEstimate& block) { return std::fabs(std::log(block.ratio)); }

// The blocks of a single sweep with both rates, the answer's block (or, without one, the
// deepest) as its step, and the other block whose ratio lies furthest from 1.
struct SingleSweep {
  std::vector<StepEstimate> blocks;
  int answer = 0;
  const StepEstimate* step = nullptr;
  const StepEstimate* runnerUp = nullptr;
};

void readSingleSweep(const float rates[16], SingleSweep& sweep) {
  for (int k = 0; k < TileSteps / 2; ++k) {
    const float aligned = rates[2 * k];
    const float offset = rates[2 * k + 1];
    // A step that drew nothing has no rate, as in detectTileSize.
    if (!(aligned > 0.0f) || !(offset > 0.0f) || !std::isfinite(aligned) || !std::isfinite(offset))
      continue;
    StepEstimate block;
    block.position = 64 >> k;
    block.ratio = block.low = block.high = static_cast<double>(offset / aligned);
    sweep.blocks.push_back(block);
  }
  sweep.answer = detectTileSize(rates);
  sweep.step = deepest(sweep.blocks, nullptr);
  for (const StepEstimate& block : sweep.blocks)
    if (block.position == sweep.answer) sweep.step = &block;
  // The other block furthest from 1: a ratio far above it is noise as large.
  for (const StepEstimate& block : sweep.blocks)
    if (&block != sweep.step &&
        (!sweep.runnerUp || distanceFromOne(block) > distanceFromOne(*sweep.runnerUp)))
      sweep.runnerUp = &block;
}

}  // namespace

double tileSweepNoise(const float rates[16]) {
  SingleSweep sweep;
  readSingleSweep(rates, sweep);
  std::vector<double> others;
  for (const StepEstimate& block : sweep.blocks)
    if (&block != sweep.step) others.push_back(std::log(block.ratio));
  return noiseOfLogs(others);
}

Evidence judgeTileSize(const float rates[16], double noise) {
  SingleSweep sweep;
  readSingleSweep(rates, sweep);
  Evidence evidence;
  evidence.unit = "px";
  if (sweep.step) evidence.step = *sweep.step;
  if (sweep.runnerUp) evidence.runnerUp = *sweep.runnerUp;
  evidence.noise = std::max(noise, tileSweepNoise(rates));
  const double clearDrop = std::max(SingleRunMinDrop, SingleRunNoiseMultiple * evidence.noise);
  evidence.threshold = std::exp(-clearDrop);
  if (sweep.answer == 0 || !sweep.step) return evidence;

  const double drop = -std::log(sweep.step->ratio);
  const double otherDrop = sweep.runnerUp ? distanceFromOne(*sweep.runnerUp) : 0.0;
  const bool clear = drop - otherDrop >= clearDrop && otherDrop <= SingleRunRunnerUpShare * drop &&
                     sweep.step->ratio >= DeepestTileRatio;
  evidence.confidence = clear ? Confidence::Clear : Confidence::Uncertain;
  return evidence;
}

double alignedToOffsetRatio(float aligned, float offset) {
  if (offset == 0.0f) {
    if (aligned == 0.0f) return std::numeric_limits<double>::quiet_NaN();
    return aligned > 0.0f ? std::numeric_limits<double>::infinity()
                          : -std::numeric_limits<double>::infinity();
  }
  return static_cast<double>(aligned / offset);
}

std::string tileCsvText(const TileSweep& sweep) {
  std::string text = "width,aligned,offset,ratio,height,aligned,offset,ratio\n";
  for (int k = 0; k < TileSteps / 2; ++k) {
    const unsigned block = static_cast<unsigned>(64 >> k);
    const float xa = sweep.xRates[2 * k], xo = sweep.xRates[2 * k + 1];
    const float ya = sweep.yRates[2 * k], yo = sweep.yRates[2 * k + 1];
    text += formatC("%u,", block) + csvNumber(xa) + "," + csvNumber(xo) + "," +
            csvNumber(alignedToOffsetRatio(xa, xo)) + formatC(",%u,", block) + csvNumber(ya) + "," +
            csvNumber(yo) + "," + csvNumber(alignedToOffsetRatio(ya, yo)) + "\n";
  }
  return text;
}

}  // namespace corvalis
