#pragma once
// Pixel fillrate under every combination of colour, depth and stencil writes, and the
// rate at which depth- or stencil-rejected pixels are discarded; once in a 32-bit mode
// with depth and stencil (plus the stencil series), once in a 16-bit mode without stencil.

#include "framework/measured.h"
#include "measurements/measurement.h"

namespace corvalis {

class TestWindow;

// One mode's seven rates, in pixels per second.
struct FillModeResults {
  Measured colorOnly;            // "Col"
  Measured depthOnly;            // "Z"
  Measured colorDepth;           // "ColZ"
  Measured depthPassColorDepth;  // "ZPassColZ"
  Measured cullLEqual;           // "ZCullLEqual"
  Measured cullGEqual;           // "ZCullGEqual"
  Measured cullEqual;            // "ZCullEqual"
};

// The rate the summary shows: the 32-bit colour-only rate, or the 16-bit one when the
// 32-bit window failed. False when there is none (32-bit mode skipped or both failed).
bool fillrateSummaryValue(bool skipped32, bool failed32, bool failed16,
                          const FillModeResults& results32, const FillModeResults& results16,
                          double& value);

// The z-fail stencil row after its buffer reset (depth test LESS on, the previous row's
// stencil state still set), in this order: colour writes off, stencil NOTEQUAL 1
// inverting on depth fail and pass, then the depth buffer laid down to the near value,
// so that every fragment of the timed quads fails the depth test and updates stencil.
void prepareDepthFailStencilRow();

class FillrateTest : public BenchTest {
 public:
  const char* name() const override { return "Fillrate"; }
  const char* key() const override { return "Fillrate"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::optional<Measured> headline() const override;

  FillModeResults results16;
  FillModeResults results32;
  // The stencil series of the 32-bit mode, pixels per second.
  Measured stencilCull;
  Measured stencilWrite;
  Measured stencilInvert;
  Measured zFailStencil;
  Measured zPassStencil;
  Measured colorOnlyStencilOn;
  Measured zStencil;
  Measured colorZStencil;
  Measured colorStencil;
  Measured colorZStencilOn;
  char format32[64] = {};
  char format16[64] = {};
  bool failed32 = false;
  bool failed16 = false;
  bool skipped32 = false;

 private:
  // Every timed measurement of a window, taken as the run asks (measureSet).
  void fillPasses(const TestWindow& window, FillModeResults& results, const RunContext& context);
  void stencilSeries(const TestWindow& window, const RunContext& context);
  void writeModeValues(ResultReport& report, const FillModeResults& results);
  void writeStencilBlock(ResultReport& report);
};

}  // namespace corvalis
