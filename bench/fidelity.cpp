// Measurement fidelity on the machine at hand, printed as ratios from one run: do the
// two clocks agree, how far apart do repeated measurements land, and what does the
// Swap method cost against Flush. Not part of the test suite: speed is never asserted.
//
//   corvalis_bench [-WIDTHxHEIGHT] [REPEATS]      (default -320x240, 3)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "platform/platform.h"
#include "measurements/fillrate_test.h"
#include "measurements/geometry_test.h"

using namespace corvalis;

namespace {

// Largest over smallest of a set of rates; 1.000 is perfect repeatability.
double spread(const std::vector<double>& rates) {
  auto [low, high] = std::minmax_element(rates.begin(), rates.end());
  return *low > 0.0 ? *high / *low : 0.0;
}

void printSpread(const char* what, const std::vector<double>& rates) {
  std::printf("%-34s spread %.3f over %zu runs (", what, spread(rates), rates.size());
  for (size_t i = 0; i < rates.size(); ++i) std::printf("%s%.4g", i ? " " : "", rates[i]);
  std::printf(")\n");
}

// The time-stamp counter against the performance counter over a quarter second.
void clockAgreement() {
  CycleTimer cycles;
  PerfTimer perf;
  perf.restart();
  cycles.restart();
  platform::current().sleepMilliseconds(250);
  const double c = cycles.elapsed(), p = perf.elapsed();
  std::printf("%-34s %.4f (cycle timer %.4f s, performance counter %.4f s)\n",
              "clock agreement cycle/perf", c / p, c, p);
}

}  // namespace

int main(int argc, char** argv) {
  int width = 320, height = 240;
  if (argc > 1) parseScreenSize(argv[1], width, height);
  const int repeats = argc > 2 ? std::max(2, std::atoi(argv[2])) : 3;

  DisplayConfig config(width, height);
  displayConfig = &config;
  config.swapSync = false;
  std::printf("Corvalis fidelity at %dx%d on %s\n", width, height,
              platform::current().backendDescription().c_str());
  clockAgreement();

  std::vector<double> fill, fillZ, fan, lit;
  for (int i = 0; i < repeats; ++i) {
    FillrateTest fillrate;
    fillrate.run();
    if (fillrate.failed) {
      std::fprintf(stderr, "corvalis_bench: the fillrate test failed: %s\n", fillrate.format32);
      return 1;
    }
    fill.push_back(fillrate.results32.colorOnly);
    fillZ.push_back(fillrate.results32.colorDepth);
    GeometryTest geometry;
    geometry.run();
    fan.push_back(geometry.fanRate);
    lit.push_back(geometry.lightP8Rate);
  }
  printSpread("fillrate 32-bit Col (Pix/s)", fill);
  printSpread("fillrate 32-bit ColZ (Pix/s)", fillZ);
  printSpread("geometry fan (Tris/s)", fan);
  printSpread("geometry eight point lights", lit);

  config.swapSync = true;
  FillrateTest swapped;
  swapped.run();
  const double flushMean = [&] {
    double sum = 0.0;
    for (double r : fill) sum += r;
    return sum / static_cast<double>(fill.size());
  }();
  std::printf("%-34s %.3f (Swap %.4g Pix/s against mean Flush %.4g Pix/s)\n",
              "sync method Swap/Flush, Col", swapped.results32.colorOnly / flushMean,
              swapped.results32.colorOnly, flushMean);
  config.restoreDisplayMode();
  displayConfig = nullptr;
  return 0;
}
