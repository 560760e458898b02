#pragma once
// The pure logic of the tiling measurement: the strip patterns of the twelve steps per
// direction, the detection of the tile size from the timed rates, and the rows of the
// data files.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/measured.h"

namespace corvalis {

// Steps per direction: block sizes 64, 32, 16, 8, 4, 2, each aligned and offset.
constexpr int TileSteps = 12;

// One buffer configuration's sweep.
struct TileSweep {
  int32_t tileWidth = 0;   // detected block width in pixels; 0 = none
  int32_t tileHeight = 0;  // detected block height in pixels; 0 = none
  float xRates[16] = {};   // column sweep, batches per second: 2k aligned, 2k + 1 offset
  float yRates[16] = {};   // row sweep, same layout
  std::vector<float> xSamples[TileSteps];  // every repeat of xRates[s]; empty with one
  std::vector<float> ySamples[TileSteps];
  std::optional<Evidence> widthEvidence;  // why tileWidth is what it is
  std::optional<Evidence> heightEvidence;
  std::string glError;  // the GL errors seen while it was measured, width and height alike
};

// Block size of step s: 64 >> (s / 2).
inline int blockSizeOfStep(int step) { return 64 >> (step / 2); }
// First strip's offset of step s: 0 for the aligned, half a block for the offset step.
inline int stripOffsetOfStep(int step) { return step % 2 == 0 ? 0 : blockSizeOfStep(step) / 2; }
// Strips (or bands) of step s across an extent of pixels, two blocks apart.
inline int stripCountOfStep(int extent, int step) {
  return extent > 0 ? extent / (2 * blockSizeOfStep(step)) : 0;
}

// Quads the strip arrays hold for a screen: a quarter of the larger side, and no more
// than 16-bit indices can address.
int stripQuadCapacity(int width, int height);

// Prepares quads full-height strips: y of vertex 4q..4q+3 is +1, -1, +1, -1 and the
// quad's indices are 4q, 4q+1, 4q+3, 4q+2. vertices holds x, y pairs.
void setupColumnQuads(float* vertices, uint16_t* indices, int quads);
// Places the strips of a step at pixel columns o + 2B i, B wide, on a screen width
// pixels wide; returns the strip count (at most capacity).
int placeColumnStrips(float* vertices, int width, int step, int capacity);

// Prepares full-width bands: x of vertex 4q..4q+3 is -1, +1, -1, +1 and the quad's
// indices are 4q, 4q+2, 4q+3, 4q+1.
void setupRowQuads(float* vertices, uint16_t* indices, int quads);
// Places the bands of a step at pixel rows o + 2B i counted from the top; returns the
// band count (at most capacity).
int placeRowStrips(float* vertices, int height, int step, int capacity);

// The block size whose offset pattern is slowest against its aligned one: a block
// counts when offset / aligned is below a threshold that starts at 0.985 and becomes
// 0.985 times the ratio of each find. 0 when no block counts or a rate is missing.
int detectTileSize(const float rates[16]);

// How far the offset / aligned ratios of one direction of a single sweep wander where no
// tile edge is: the median absolute log ratio of its blocks other than the answer of
// detectTileSize (without one, other than the deepest), as a standard deviation.
double tileSweepNoise(const float rates[16]);

// How sure the answer of detectTileSize is, from a single run alone. 'noise' is the
// largest tileSweepNoise of the run's directions (load that shakes one sweep may have
// missed the blocks of another by chance); this direction's own counts where larger. The
// answer is clear when its drop (minus the log of its ratio) exceeds the runner-up's by
// four times the noise and by 0.05 at least, the runner-up being the other block whose
// ratio lies furthest from 1 either way, and the runner-up lies at most half as far from
// 1, and its ratio is at least 0.5 (offset strips touch at most twice the tiles of aligned
// ones; a deeper fall is a stall). Otherwise it is uncertain, and none when
// detectTileSize finds nothing. The steps carry no interval (low = high = ratio); the
// threshold is the ratio a lone step had to lie below to be clear.
Evidence judgeTileSize(const float rates[16], double noise);

// The tile size of a sweep measured with repeats, where samples[2k][i] and
// samples[2k + 1][i] are the i-th aligned and offset slices of block k, taken one right
// after the other. Each block's offset / aligned ratio is the median of its paired
// slices, with the interval of that median. A block counts only where its ratio lies
// below 0.985 and its whole interval below 1; among those the rule of detectTileSize
// picks the deepest. The answer is clear when the deepest other block whose ratio lies
// below 0.985 (the runner-up) stands apart from it: their gap wider than the root of
// the squares of the half-intervals facing each other. Where it does not, or
// where no block's interval lies below 1 although a ratio does, the answer is 0 and
// uncertain. 'complete' is false, and the answer 0 without evidence, when a measured
// block lacks paired slices (a sweep cut short).
struct TileDecision {
  int blockSize = 0;
  Evidence evidence;
  bool complete = false;
};
TileDecision decideTileSize(const std::vector<float> samples[TileSteps]);

// aligned / offset as the data files show it; not-a-number when both are zero.
double alignedToOffsetRatio(float aligned, float offset);

// The header and the six rows of a sweep's data file, each ending in "\n".
std::string tileCsvText(const TileSweep& sweep);

}  // namespace corvalis
