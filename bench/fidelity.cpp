// Measurement fidelity on the machine at hand, printed as ratios from one run: do the
// two clocks agree, how far apart do repeated measurements land, and what does the
// Swap method cost against Flush. Not part of the test suite: speed is never asserted.
//
//   corvalis_bench [-WIDTHxHEIGHT] [REPEATS]      (default -320x240, 3)
//   corvalis_bench --texcache-loop [-WIDTHxHEIGHT]
//       the texture cache sweep with the fixed 128-quad queue and with the time-bounded
//       one (twice each, fixed, bounded, bounded, fixed), per-size rates side by side,
//       and the times of the test and the suite
//   corvalis_bench --stability tiling|texcache|both K N [-WIDTHxHEIGHT] [--load]
//       a single run, then K runs with every measurement repeated N times, optionally
//       beside a one-core CPU hog: every run's answers with their confidence, how many
//       runs agree on each, and what the repeats cost against the single run
//   corvalis_bench --reproducibility single|repeat:N|auto[:SECONDS] K [-WIDTHxHEIGHT]
//                  [--tests LIST] [--load] [-- OPTIONS]
//       K whole runs of the program beside the bench, each a child process in its own
//       folder, of one kind (a single measurement, --repeat N, --repeat auto with an
//       optional --budget): per value the median of the runs and max/min, how often a
//       run's interval holds the median of the others, every run's answers, time and
//       peak memory, and what the kind costs against a single run taken among them

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/suite.h"
#include "reproducibility.h"
#include "stability.h"
#include "framework/run_context.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "platform/platform.h"
#include "measurements/fillrate.h"
#include "measurements/geometry.h"
#include "measurements/texture_cache.h"
#include "measurements/tiling.h"

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

// Runs a test (each measurement once unless the context asks for more) and returns its
// time in seconds.
double timedRun(BenchTest& test, const RunContext& context = RunContext()) {
  PerfTimer clock;
  test.run(context);
  return clock.elapsed();
}

// Old against new texture cache loop in one run, then the rest of the suite. Each loop
// runs twice, in the order fixed, bounded, bounded, fixed, so that a drift of the
// machine's speed weighs on both alike; per size the mean of a loop's two runs.
int compareTextureCacheLoops() {
  static TextureCacheTest fixed[2], bounded[2];
  fixed[0].timeBoundQueue = fixed[1].timeBoundQueue = false;
  double fixedSeconds = timedRun(fixed[0]);
  double boundedSeconds = timedRun(bounded[0]);
  boundedSeconds = (boundedSeconds + timedRun(bounded[1])) / 2.0;
  fixedSeconds = (fixedSeconds + timedRun(fixed[1])) / 2.0;
  for (const TextureCacheTest* test : {&fixed[0], &fixed[1], &bounded[0], &bounded[1]}) {
    if (test->failed) {
      std::fprintf(stderr, "corvalis_bench: the texture cache test failed: %s\n", test->modeText);
      return 1;
    }
  }
  static const char* const names[CacheFormats] = {"RGBA", "DXT1", "DXT5", "Pal"};
  std::vector<double> ratios;
  for (int format = 0; format < CacheFormats; ++format) {
    const FormatSweep& a = fixed[0].sweeps[format];
    if (!a.measured || !bounded[0].sweeps[format].measured) continue;
    std::printf("%s sweep: bytes, fetches/s with the 128-quad queue, with the time-bounded queue, "
                "bounded/fixed\n", names[format]);
    for (int n = a.firstIndex; n <= a.lastIndex; ++n) {
      const double old = (fixed[0].sweeps[format].rates[n] + fixed[1].sweeps[format].rates[n]) / 2;
      const double now = (bounded[0].sweeps[format].rates[n] + bounded[1].sweeps[format].rates[n]) / 2;
      const double ratio = old > 0.0 ? now / old : 0.0;
      if (ratio > 0.0) ratios.push_back(ratio);
      std::printf("  %10.0f %12.4g %12.4g %7.3f\n", workingSetBytes(n, a.bitsPerTexel), old, now,
                  ratio);
    }
  }
  if (!ratios.empty()) {
    std::sort(ratios.begin(), ratios.end());
    const auto within = [&ratios](double band) {
      return std::count_if(ratios.begin(), ratios.end(),
                           [band](double r) { return r >= 1.0 - band && r <= 1.0 + band; });
    };
    std::printf("%-34s median %.3f, %.3f to %.3f; %ld of %zu sizes within 5 %%, %ld within 10 %%\n",
                "bounded/fixed per size", ratios[(ratios.size() - 1) / 2], ratios.front(),
                ratios.back(), static_cast<long>(within(0.05)), ratios.size(),
                static_cast<long>(within(0.10)));
  }
  std::printf("%-34s %.1f s with the 128-quad queue, %.1f s time-bounded (%.3f)\n",
              "texture cache test", fixedSeconds, boundedSeconds, boundedSeconds / fixedSeconds);

  // The other six tests complete the suite's time.
  TestRegistry registry;
  registry.create();
  double others = 0.0;
  for (size_t i = 0; i < TestCount; ++i) {
    BenchTest* test = registry.tests[i].get();
    if (!test || i == 5) continue;
    const double seconds = timedRun(*test);
    std::printf("  %-14s %.1f s\n", test->name(), seconds);
    others += seconds;
  }
  registry.destroy();
  std::printf("%-34s %.1f s with the 128-quad queue, %.1f s time-bounded\n", "suite (seven tests)",
              others + fixedSeconds, others + boundedSeconds);
  return 0;
}

// Sets up the display configuration for the loop comparison and runs it.
int runLoopComparison(int argc, char** argv) {
  const std::string mode = argv[1];
  int width = 1024, height = 768;
  if (argc > 2) parseScreenSize(argv[2], width, height);
  DisplayConfig config(width, height);
  displayConfig = &config;
  config.swapSync = false;
  std::printf("Corvalis %s at %dx%d on %s\n", mode.c_str() + 2, width, height,
              platform::current().backendDescription().c_str());
  const int status = compareTextureCacheLoops();
  config.restoreDisplayMode();
  displayConfig = nullptr;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--texcache-loop") return runLoopComparison(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "--stability") return runStability(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "--reproducibility")
    return runReproducibility(argc, argv);
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
    fillrate.run(RunContext());
    if (fillrate.failed) {
      std::fprintf(stderr, "corvalis_bench: the fillrate test failed: %s\n", fillrate.format32);
      return 1;
    }
    fill.push_back(fillrate.results32.colorOnly.value);
    fillZ.push_back(fillrate.results32.colorDepth.value);
    GeometryTest geometry;
    geometry.run(RunContext());
    fan.push_back(geometry.fanRate.value);
    lit.push_back(geometry.lightP8Rate.value);
  }
  printSpread("fillrate 32-bit Col (Pix/s)", fill);
  printSpread("fillrate 32-bit ColZ (Pix/s)", fillZ);
  printSpread("geometry fan (Tris/s)", fan);
  printSpread("geometry eight point lights", lit);

  config.swapSync = true;
  FillrateTest swapped;
  swapped.run(RunContext());
  const double flushMean = [&] {
    double sum = 0.0;
    for (double r : fill) sum += r;
    return sum / static_cast<double>(fill.size());
  }();
  std::printf("%-34s %.3f (Swap %.4g Pix/s against mean Flush %.4g Pix/s)\n",
              "sync method Swap/Flush, Col", swapped.results32.colorOnly.value / flushMean,
              swapped.results32.colorOnly.value, flushMean);
  config.restoreDisplayMode();
  displayConfig = nullptr;
  return 0;
}
