#pragma once
// What a run tells every measurement it starts: filled by the run cycle from the run's
// settings and handed to each test, so that no measurement reads a process-wide value
// for it.

#include <chrono>

namespace corvalis {

// The most repeats a run may ask of every timed measurement (--repeat N).
constexpr int MaxMeasurementRepeats = 100;

// --repeat auto: the most rounds a measurement is taken in, and the repeats a detection
// sweep starts from.
constexpr int AutoRoundsCeiling = 10;
constexpr int AutoDetectionRepeats = 3;

using RunClock = std::chrono::steady_clock;

struct RunContext {
  // How often each timed measurement is taken, 1 to MaxMeasurementRepeats; 1 is the
  // single measurement of a default run. With 'adaptive', the most it may be taken.
  int repeats = 1;
  // --repeat auto: the rounds go on only while a value's interval is still wide or a
  // detection still uncertain, and end at 'deadline' whatever they show.
  bool adaptive = false;
  // When this test should stop starting rounds (adaptive only); the epoch: no limit.
  RunClock::time_point deadline{};

  // Whether measurements are taken in rounds of slices rather than once.
  bool inRounds() const { return repeats > 1 || adaptive; }
  // The repeats a detection sweep is taken with: in the adaptive mode it starts from
  // AutoDetectionRepeats and sweeps again while its answer is uncertain.
  int detectionRepeats() const { return adaptive ? AutoDetectionRepeats : repeats; }

  bool pastDeadline() const {
    return deadline != RunClock::time_point{} && RunClock::now() >= deadline;
  }
};

}  // namespace corvalis
