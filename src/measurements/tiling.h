#pragma once
// Finds the width and height of the framebuffer tiles: strips of a block size drawn
// aligned to the block and shifted by half a block run slower when they straddle
// tiles. Swept for colour, depth, stencil and all buffers together.

#include "measurements/measurement.h"
#include "measurements/tile_detection.h"

namespace corvalis {

class SyncMethod;
class TestWindow;

// The four sweeps in field order.
enum TileBuffers {
  TileColor = 0,
  TileDepth = 1,
  TileStencil = 2,
  TileCombined = 3,
  TileConfigs = 4
};

class TilingTest : public BenchTest {
 public:
  const char* name() const override { return "Tiling"; }
  const char* key() const override { return "Tiling"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::string summaryConfidence() const override;
  void writeDataFiles(const char* baseName, FileGroup& group) override;
  void writeSweeps(ResultReport& report) override;

  bool hasDepth = false;
  bool hasStencil = false;
  char modeText[64] = {};
  TileSweep sweeps[TileConfigs];  // colour, depth, stencil, combined

 private:
  // Every timed pattern taken as the run asks.
  void measure(const TestWindow& window, const RunContext& context);
  void measureTiles(const SyncMethod& sync, TileSweep& sweep, const RunContext& context);
  void judgeSingleRun();
};

}  // namespace corvalis
