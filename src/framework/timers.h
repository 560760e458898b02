#pragma once
// The two clocks of every measurement: the time-stamp counter decides when a loop
// stops, the performance counter gives the reported time.

#include <cstdint>

namespace corvalis {

// Seconds from the processor's time-stamp counter. The first construction in the
// process calibrates the counter against the performance counter (about 0.25 s).
class CycleTimer {
 public:
  CycleTimer();
  void restart();
  double elapsed() const;

 private:
  uint64_t start_ = 0;
};

// Seconds from the performance counter (QueryPerformanceCounter; CLOCK_MONOTONIC).
class PerfTimer {
 public:
  PerfTimer();
  void restart();
  double elapsed() const;

 private:
  int64_t start_ = 0;
};

// The calibration's trimmed mean: the measurements equal neither to the smallest nor
// to the largest are averaged; when none is left, the first alone counts. Returns
// seconds per cycle from four rates in ticks per second.
double secondsPerCycleFromRates(const double rates[4]);

}  // namespace corvalis
