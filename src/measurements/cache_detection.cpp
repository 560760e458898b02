#include "measurements/cache_detection.h"

#include <algorithm>
#include <cmath>

namespace corvalis {

MipRegion mipRegionOf(int n) {
  MipRegion region;
  if (n % 2 == 0) {
    region.a = n / 2;
    region.b = n / 2;
  } else {
    region.a = (n - 1) / 2 + 1;
    region.b = (n - 1) / 2;
  }
  return region;
}

double workingSetBytes(int n, int bitsPerTexel) {
  return std::ldexp(1.0, n) * bitsPerTexel * 0.125;
}

int largestTextureLog2(int maxTextureSize, int width, int height) {
  int maxSize = maxTextureSize;
  if (maxSize > 2048) maxSize = 2048;
  if (maxSize >= width) maxSize = width - 1;
  if (maxSize >= height) maxSize = height - 1;
  int log2 = 0;
  while (log2 < 30 && (2 << log2) <= maxSize) ++log2;
  return log2;
}

namespace {

// A drop at index k that the repeats bear out: below every sample before it, for good.
using EdgeCheck = bool (*)(const FormatSweep& sweep, int k, int last);

bool anyEdge(const FormatSweep&, int, int) { return true; }

bool samplesSeparate(const FormatSweep& sweep, int k, int last) {
  const std::vector<float>& before = sweep.samples[k - 1];
  const float lowestBefore = *std::min_element(before.begin(), before.end());
  for (int j = k; j <= last; ++j) {
    const std::vector<float>& after = sweep.samples[j];
    if (!(*std::max_element(after.begin(), after.end()) < lowestBefore)) return false;
  }
  return true;
}

float detectWith(const FormatSweep& sweep, EdgeCheck edgeHolds) {
  const int first = std::max(sweep.firstIndex, 0);
  const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
  if (last < first) return 0.0f;

  float maxRate = 0.0f;
  for (int n = first; n <= last; ++n) maxRate = std::max(maxRate, sweep.rates[n]);
  float minRate = maxRate;
  for (int n = first; n <= last; ++n) minRate = std::min(minRate, sweep.rates[n]);

  // Plausibility: a stalled measurement or a range no cache explains.
  if (!(minRate > 10.0f)) return 0.0f;
  if (!(maxRate / minRate < 200.0f)) return 0.0f;

  for (int k = first + 1; k <= last; ++k) {
    const float before = sweep.rates[k - 1];
    if (!(sweep.rates[k] / before < 1.0f)) continue;
    // A dip that some later size makes up for is not the cache's edge.
    const float recovered = 0.9875f * before;
    bool neverRecovers = true;
    for (int j = k; j <= last; ++j) {
      if (!(sweep.rates[j] < recovered)) {
        neverRecovers = false;
        break;
      }
    }
    if (neverRecovers && edgeHolds(sweep, k, last))
      return static_cast<float>(workingSetBytes(k - 1, sweep.bitsPerTexel));
  }
  return 0.0f;
}

}  // namespace

float detectCacheSize(const FormatSweep& sweep) { return detectWith(sweep, anyEdge); }

float detectCacheSizeSeparated(const FormatSweep& sweep) {
  const int first = std::max(sweep.firstIndex, 0);
  const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
  for (int n = first; n <= last; ++n)
    if (sweep.samples[n].size() < 2) return detectCacheSize(sweep);
  return detectWith(sweep, samplesSeparate);
}

void setQuadTexCoords(float* vertices, int a, int b, int width, int height) {
  // Slightly under one texel per pixel, so the nearest mipmap is the level of
  // 2^a x 2^b texels, repeated across the window.
  const float su = static_cast<float>(width) / std::ldexp(1.0f, a) * 0.975f;
  const float tv = static_cast<float>(height) / std::ldexp(1.0f, b) * 0.975f;
  // Each quad starts elsewhere in the texture, so the four do not read the same
  // texels in the same order.
  static const float offsets[4][2] = {
      {0.0f, 0.0f}, {-0.5f, 0.25f}, {0.25f, -0.5f}, {-0.75f, 0.75f}};
  for (int quad = 0; quad < 4; ++quad) {
    const float s0 = offsets[quad][0];
    const float t0 = offsets[quad][1];
    const float corners[4][2] = {{s0, t0}, {s0, t0 + tv}, {s0 + su, t0 + tv}, {s0 + su, t0}};
    for (int corner = 0; corner < 4; ++corner) {
      float* vertex = vertices + (4 * quad + corner) * QuadVertexFloats;
      vertex[3] = corners[corner][0];
      vertex[4] = corners[corner][1];
    }
  }
}

}  // namespace corvalis
