#pragma once
// The pure logic of the texture cache measurement: which mip level a size index reads,
// how large its working set is, how large the textures may be, and where the fetch
// rate falls for good.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/measured.h"

namespace corvalis {

// Size indices a sweep can hold; a sweep uses firstIndex..lastIndex of them.
constexpr int MaxSizeIndices = 32;

// One texture format's sweep over working-set sizes.
struct FormatSweep {
  float rates[MaxSizeIndices] = {};  // texel fetches per second, by size index
  uint32_t squareTexture = 0;        // S x S texels, read at even indices; 0 = unavailable
  uint32_t wideTexture = 0;          // S x S/2 texels, read at odd indices; 0 = unavailable
  int bitsPerTexel = 0;
  int firstIndex = 0;
  int lastIndex = -1;  // an empty range until a run sets it
  bool measured = false;
  std::vector<float> samples[MaxSizeIndices];  // every repeat of rates[n]; empty with one
  std::optional<Evidence> evidence;            // why the size is what it is
  std::string glError;  // the GL errors seen making its textures and timing its sizes
};

// The mip level of 2^a x 2^b texels that size index n (2^n texels) reads: square for
// even n, twice as wide as high for odd n.
struct MipRegion {
  int a = 0;
  int b = 0;
};
MipRegion mipRegionOf(int n);

// Bytes of the working set of size index n: 2^n * bitsPerTexel / 8.
double workingSetBytes(int n, int bitsPerTexel);

// L, the log2 of the largest texture side S = 2^L: the GL's maximum texture size,
// at most 2048, kept below the screen's width and height. At least 0.
int largestTextureLog2(int maxTextureSize, int width, int height);

// The cache size in bytes: the working set just before the first drop in rate that
// no later size recovers from (to 98.75 % of the rate before it); 0 when there is
// none or the rates are implausible (slowest not above 10, or the fastest at least 200
// times the slowest).
float detectCacheSize(const FormatSweep& sweep);

// How far the curve of a single sweep wiggles from one size to the next: the median
// absolute log ratio of its steps other than the drop of the answer 'bytes' of
// detectCacheSize (without one, other than the deepest step), as a standard deviation.
double cacheCurveNoise(const FormatSweep& sweep, float bytes);

// How sure the answer 'bytes' of detectCacheSize is, from a single run alone. 'noise' is
// the largest cacheCurveNoise of the run's formats; this curve's own counts where larger.
// The answer is clear when the rates at the next two sizes lie below the rate before the
// drop by four times the noise and by 0.05 at least (as log ratios), and no other step of
// the curve, rising or falling, moves half as far or so far that the drop exceeds it by
// less than that margin. So a spike up and back down is no edge, nor is a fall spread
// over two sizes; a drop at the last size has no second size and is uncertain; no answer
// is none. The steps carry no interval (low = high = ratio).
Evidence judgeCacheSize(const FormatSweep& sweep, float bytes, double noise);

// The cache size of a sweep measured in rounds, where samples[n][i] is size n's rate in
// round i. Each drop is judged round by round against the size before it, so load that
// comes, goes or stays falls out of the ratio. A candidate edge after size k - 1 has the
// rate at k and at k + 1 more than 5 % below it and no later size back at 98.75 % of it;
// a lone last point is never one. The first candidate decides, as in the single-run
// rule. It is clear when both drops also exceed three times the curve's noise (the
// median wiggle from one size to the next) with their intervals below 1, and the next
// size down is no second edge as deep; otherwise the answer is 0 and uncertain.
// 'complete' is false, and the answer 0 without evidence, when a size lacks a round (a
// sweep cut short) or holds a rate that is not positive.
struct CacheDecision {
  float bytes = 0.0f;
  Evidence evidence;
  bool complete = false;
};
CacheDecision decideCacheSize(const FormatSweep& sweep);

// Floats per vertex of the texture cache quads: x, y, z, s, t.
constexpr int QuadVertexFloats = 5;

// Writes the texture coordinates of the four full-window quads (16 vertices of
// QuadVertexFloats) so that the GL reads a mip level of 2^a x 2^b texels at 0.975
// texels per pixel, each quad shifted by its own offset.
void setQuadTexCoords(float* vertices, int a, int b, int width, int height);

}  // namespace corvalis
