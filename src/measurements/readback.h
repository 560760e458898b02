#pragma once
// glReadPixels speed for colour in four byte layouts, depth as integers and as floats,
// and stencil; over the whole screen and over a 32 x 32 region.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/measured.h"
#include "framework/measurement_loop.h"
#include "measurements/measurement.h"

namespace corvalis {

class TestWindow;

constexpr int ReadbackKindCount = 7;

// One glReadPixels format/type pair and its report label.
struct ReadbackKind {
  unsigned format;
  unsigned type;
  const char* label;
};

// The kinds in measurement order (the order of smallRate and wholeRate).
extern const ReadbackKind readbackKinds[ReadbackKindCount];

// Bytes of the read-back destination: width x height x 4 (the largest pixel is four
// bytes), at least enough for the 32 x 32 region; 0 when the size is not positive or
// cannot be addressed.
size_t readbackBufferBytes(int32_t width, int32_t height);

// Shown under "Error" when the destination buffer cannot be allocated.
constexpr const char* PixelBufferErrorText = "out of memory for the pixel buffer";

class ReadbackTest : public BenchTest {
 public:
  const char* name() const override { return "Readback"; }
  const char* key() const override { return "Readback"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::optional<Measured> headline() const override;

  char modeText[64] = {};
  Measured smallRate[ReadbackKindCount];
  Measured wholeRate[ReadbackKindCount];

 protected:
  // The destination of every read; null when it cannot be had. Never throws.
  virtual std::unique_ptr<uint8_t[]> allocatePixelBuffer(size_t bytes);

 private:
  // One read measurement into pixelBuffer, for measureSet.
  Timed timedRead(const SyncMethod& sync, unsigned format, unsigned type, int width, int height);

  uint8_t* pixelBuffer = nullptr;  // valid only during run
};

}  // namespace corvalis
