#include "framework/timers.h"

#include "platform/cycle_counter.h"
#include "platform/platform.h"

namespace corvalis {

namespace {

constexpr double CalibrationSeconds = 0.0625;
constexpr int CalibrationRuns = 4;

double secondsPerCycleShared = 0.0;
bool cycleCalibrated = false;
double secondsPerCountShared = 0.0;
bool perfCalibrated = false;

// One rate of the time-stamp counter in ticks per second, over at least 62.5 ms that
// start and end on tick edges of the performance counter.
double measureCycleRate(platform::Platform& plat) {
  const double period = 1.0 / static_cast<double>(plat.performanceFrequency());
  const int64_t c0 = plat.performanceCounter();
  int64_t c1 = plat.performanceCounter();
  while (c1 == c0) c1 = plat.performanceCounter();
  const uint64_t t0 = platform::readCycleCounter();
  while (static_cast<double>(plat.performanceCounter() - c1) * period < CalibrationSeconds) {
  }
  const int64_t c2 = plat.performanceCounter();
  int64_t c3;
  uint64_t t1;
  do {
    c3 = plat.performanceCounter();
    t1 = platform::readCycleCounter();
  } while (c3 == c2);
  const double cycles = static_cast<double>(static_cast<int64_t>(t1 - t0));
  return cycles / (static_cast<double>(c3 - c1) * period);
}

void calibrateCycleCounter() {
  platform::Platform& plat = platform::current();
  double rates[CalibrationRuns];
  for (double& rate : rates) rate = measureCycleRate(plat);
  secondsPerCycleShared = secondsPerCycleFromRates(rates);
  cycleCalibrated = true;
}

}  // namespace

double secondsPerCycleFromRates(const double rates[4]) {
  double smallest = rates[0], largest = rates[0];
  for (int i = 1; i < CalibrationRuns; ++i) {
    if (rates[i] < smallest) smallest = rates[i];
    if (rates[i] > largest) largest = rates[i];
  }
  double sum = 0.0;
  int count = 0;
  for (int i = 0; i < CalibrationRuns; ++i) {
    if (rates[i] != smallest && rates[i] != largest) {
      sum += rates[i];
      ++count;
    }
  }
  return count != 0 ? count / sum : 1.0 / rates[0];
}

CycleTimer::CycleTimer() {
  if (!cycleCalibrated) calibrateCycleCounter();
  start_ = platform::readCycleCounter();
}

void CycleTimer::restart() { start_ = platform::readCycleCounter(); }

double CycleTimer::elapsed() const {
  return static_cast<double>(static_cast<int64_t>(platform::readCycleCounter() - start_)) *
         secondsPerCycleShared;
}

PerfTimer::PerfTimer() {
  platform::Platform& plat = platform::current();
  if (!perfCalibrated) {
    secondsPerCountShared = 1.0 / static_cast<double>(plat.performanceFrequency());
    perfCalibrated = true;
  }
  start_ = plat.performanceCounter();
}

void PerfTimer::restart() { start_ = platform::current().performanceCounter(); }

double PerfTimer::elapsed() const {
  return static_cast<double>(platform::current().performanceCounter() - start_) *
         secondsPerCountShared;
}

}  // namespace corvalis
