#pragma once
// Framebuffer memory bandwidth: bytes per second moved by buffer clears and by a
// worst-case blended draw, plus what the display scan-out reads, as an estimate of the
// chip's physical bandwidth.

#include <cstdint>

#include "framework/measured.h"
#include "measurements/measurement.h"

namespace corvalis {

class TestWindow;

// The start of the draw measurement's colour sequence.
constexpr uint32_t InitialColorSeed = 173;

// One step of the colour sequence.
inline uint32_t nextColorSeed(uint32_t seed) { return seed * 7u + 1367u; }

class SyncMethod;

// The state of the worst-case draw, entered before each of its measurements: blending,
// depth and stencil tests that always pass, every buffer written, all of them cleared.
void enterDrawState(const SyncMethod& sync);

// The draw measurement's byte count per quad: every pixel reads and writes each buffer.
inline double drawBytesPerQuad(int32_t colorBytes, int32_t depthBytes, int32_t stencilBytes) {
  return 2.0 * (static_cast<double>(colorBytes) + depthBytes + stencilBytes);
}

class BandwidthTest : public BenchTest {
 public:
  const char* name() const override { return "Bandwidth"; }
  const char* key() const override { return "Bandwidth"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::optional<Measured> headline() const override;

  // Bytes per second. The scan-out figure and the physical estimate are computed, not
  // measured: they have no samples.
  Measured colorClear;
  Measured depthClear;
  Measured stencilClear;
  Measured depthStencilClear;
  Measured allClear;
  Measured drawBandwidth;
  Measured ramdacBandwidth;
  Measured physicalBandwidth;
  bool hasDepth = false;
  bool hasStencil = false;
  char modeText[70] = {};
  // Quads drawn by the last draw measurement (a multiple of 256).
  int drawQuads = 0;
  // The colour sequence of the draw measurement. The test lives as long as the program,
  // so a second run continues where the first left it.
  uint32_t colorSeed = InitialColorSeed;

 private:
  // Every timed measurement taken as the run asks (measureSet).
  void measureClears(const TestWindow& window, const RunContext& context);
  void measureDraw(const TestWindow& window, const RunContext& context);
};

}  // namespace corvalis
