#pragma once
// Estimates the texture cache size: sweeps the working set of screen-filling textured
// quads in powers of two and finds where the texel fetch rate falls for good, for
// RGBA, DXT1, DXT5 and paletted textures.

#include <cstdint>
#include <memory>

#include "framework/measurement_loop.h"
#include "measurements/measurement.h"
#include "measurements/cache_detection.h"

namespace corvalis {

struct GlCaps;
class SyncMethod;
class TestWindow;

// The four sweeps in report order.
enum CacheFormat {
  CacheRgba = 0,
  CacheDxt1 = 1,
  CacheDxt5 = 2,
  CachePaletted = 3,
  CacheFormats = 4
};

class TextureCacheTest : public BenchTest {
 public:
  const char* name() const override { return "Texture cache"; }
  const char* key() const override { return "TexCache"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::string summaryConfidence() const override;
  void writeDataFiles(const char* baseName, FileGroup& files) override;
  void writeSweeps(ResultReport& report) override;

  // Bound the queue by time on a renderer too slow for 128 quads within the minimum
  // time; false keeps the fixed 128-quad bound (for comparing the two loops).
  bool timeBoundQueue = true;

  char modeText[64] = {};
  FormatSweep sweeps[CacheFormats];       // RGBA, DXT1, DXT5, paletted
  std::unique_ptr<float[]> quadVertices;  // four quads of x, y, z, s, t; only during run
  float cacheBytes[CacheFormats] = {};

 private:
  // Every size of every sweep taken 'repeats' times.
  void measure(const TestWindow& window, const RunContext& context);
  void createTextures(const GlCaps& caps);
  void deleteTextures();
  void buildQuads();
  void setRegion(int a, int b);
  void runSweep(FormatSweep& sweep, float& detected, const SyncMethod& sync,
                const RunContext& context);
  void judgeSingleRun();
};

}  // namespace corvalis
