#pragma once
// Where a run taken in rounds hands control to someone outside it: before every timed
// slice, and when the rounds of a set are decided. A process-wide gate that is null by
// default, so that a plain run is unchanged; a worker of an A/B session installs one
// that takes turns with the other side's worker.

namespace corvalis {

class SliceGate {
 public:
  virtual ~SliceGate() = default;
  // Called right before each timed slice of the rounds; returns when this slice may run.
  virtual void beforeSlice() = 0;
  // The rounds a set of slices is taken in, 'rounds' being what this renderer's speed
  // allows: the gate may make them fewer, so that two sides take the same slices.
  virtual int agreeRounds(int rounds) = 0;
};

// The gate of this process, nullptr when none (the default).
SliceGate* sliceGate();
// Installs 'gate' (nullptr removes it); the caller keeps it alive while installed.
void setSliceGate(SliceGate* gate);

}  // namespace corvalis
