#pragma once
// Triangle throughput: a screen-filling mesh drawn as a fan, as a list, as a mostly
// clipped list, and lit by one directional, one point and eight point lights. Every
// timed triangle faces away and is culled, so only vertex work is measured.

#include "framework/measured.h"
#include "measurements/measurement.h"

namespace corvalis {

class TestWindow;

class GeometryTest : public BenchTest {
 public:
  const char* name() const override { return "Geometry"; }
  const char* key() const override { return "Geometry"; }
  void run(const RunContext& context) override;
  void writeResults(ResultReport& report) override;
  void summary(char* buffer) override;
  std::optional<Measured> headline() const override;

  // Triangles per second.
  Measured fanRate;
  Measured listRate;
  Measured clipRate;
  Measured lightD1Rate;
  Measured lightP1Rate;
  Measured lightP8Rate;
  // The window's pixel format, or why the test could not measure.
  char modeText[64] = {};

 private:
  // Measures on the window that run() opened, every workload taken as the run asks;
  // false (with modeText set) when a mesh could not be made.
  bool measure(const TestWindow& window, const RunContext& context);
};

}  // namespace corvalis
