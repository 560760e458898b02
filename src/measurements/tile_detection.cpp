#include "measurements/tile_detection.h"

#include <algorithm>
#include <limits>

#include "framework/format.h"
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

namespace {

// Whether block k may count at all.
using BlockCheck = bool (*)(const std::vector<float>* samples, int k);

bool anyBlock(const std::vector<float>*, int) { return true; }

bool samplesSeparate(const std::vector<float>* samples, int k) {
  const std::vector<float>& aligned = samples[2 * k];
  const std::vector<float>& offset = samples[2 * k + 1];
  return *std::max_element(offset.begin(), offset.end()) <
         *std::min_element(aligned.begin(), aligned.end());
}

int detectWith(const float rates[16], const std::vector<float>* samples, BlockCheck counts) {
  float threshold = 0.985f;
  int best = -1;
  for (int k = 0; k < TileSteps / 2; ++k) {
    const float aligned = rates[2 * k];
    const float offset = rates[2 * k + 1];
    // A step that drew nothing (screen smaller than two blocks) has no rate to compare.
    if (!(aligned > 0.0f) || !(offset > 0.0f)) continue;
    const float ratio = offset / aligned;
    if (ratio < threshold && counts(samples, k)) {
      threshold = ratio * 0.985f;
      best = k;
    }
  }
  return best < 0 ? 0 : 64 >> best;
}

}  // namespace

int detectTileSize(const float rates[16]) { return detectWith(rates, nullptr, anyBlock); }

int detectTileSizeSeparated(const float rates[16], const std::vector<float> samples[TileSteps]) {
  for (int step = 0; step < TileSteps; ++step)
    if (rates[step] > 0.0f && samples[step].size() < 2) return detectTileSize(rates);
  return detectWith(rates, samples, samplesSeparate);
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
