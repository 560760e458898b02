#pragma once
// What a run tells every measurement it starts: filled by the run cycle from the run's
// settings and handed to each test, so that no measurement reads a process-wide value
// for it.

namespace corvalis {

// The most repeats a run may ask of every timed measurement (--repeat N).
constexpr int MaxMeasurementRepeats = 100;

struct RunContext {
  // How often each timed measurement is taken, 1 to MaxMeasurementRepeats; 1 is the
  // single measurement of a default run.
  int repeats = 1;
};

}  // namespace corvalis
