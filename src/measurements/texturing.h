#pragma once
// Textured fillrate: a full-screen perspective quad sampling one small mipmapped
// texture on 1 to 8 units at once, bilinear and trilinear.

#include <cstdint>

#include "framework/measured.h"
#include "measurements/measurement.h"

namespace corvalis {

class TestWindow;

class TexturingTest : public BenchTest {
 public:
  const char* name() const override { return "Texturing"; }
  const char* key() const override { return "Texturing"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::optional<Measured> headline() const override;

  // The window's pixel format, or its error text.
  char modeText[64] = {};
  // Pixels per second; entry i is for i + 1 layers.
  Measured bilinearRate[8];
  Measured trilinearRate[8];
  // Layer counts measured: the texture units, at most 8.
  int32_t layerCount = 0;

 private:
  // Pixels per second of the quad on every layer count with both filters, each taken
  // as the run asks (measureSet).
  void measure(const TestWindow& window, const RunContext& context);
  // One group of rows "1" .. layerCount.
  void writeFilterGroup(ResultReport& report, const char* title, const char* key,
                        const Measured* rates);
};

}  // namespace corvalis
