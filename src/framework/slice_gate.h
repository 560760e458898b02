#pragma once
// Where a run taken in rounds hands control to someone outside it: before every timed
// slice, and when the rounds of a set are decided. A process-wide gate that is null by
// default, so that a plain run is unchanged; a worker of an A/B session installs one
// that takes turns with the other side's worker.

namespace corvalis {

class SliceGate {
 public:
  virtual ~SliceGate() = default;
  // Called right before each timed slice of the rounds; returns when this slice may run,
  // or when the run has been called off (calledOff() then says so, and the slice is not
  // taken).
  virtual void beforeSlice() = 0;
  // The rounds a set of slices is taken in, 'rounds' being what this renderer's speed
  // allows: the gate may make them fewer, so that two sides take the same slices.
  virtual int agreeRounds(int rounds) = 0;
  // True once the run has been called off (the other side of an A/B session was lost):
  // no further slice is taken, and the test measuring then and every later one fail.
  virtual bool calledOff() const { return false; }
};

// The failure text of a test that a called-off run cut short or never started.
constexpr const char* CalledOffText = "A/B session stopped: other side lost";

// The gate of this process, nullptr when none (the default).
SliceGate* sliceGate();
// Installs 'gate' (nullptr removes it); the caller keeps it alive while installed.
void setSliceGate(SliceGate* gate);
// True when the installed gate has called the run off.
bool runCalledOff();

}  // namespace corvalis
