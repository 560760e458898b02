#pragma once
// The refresh rate of an X display, from the two records it can be read from: the
// timing of the mode an XRandR CRTC scans out, and two samples of the Present
// extension's retrace counter. Pure arithmetic, testable without a server.

#include <cstdint>

namespace corvalis {
namespace platform {

// The timing fields of an XRandR mode (XRRModeInfo).
struct ModeTiming {
  uint64_t dotClock = 0;  // pixels per second
  unsigned hTotal = 0;
  unsigned vTotal = 0;
  bool interlace = false;   // RR_Interlace: two fields per frame, each a retrace
  bool doubleScan = false;  // RR_DoubleScan: every line scanned twice
};

// Retraces per second of the mode; 0 when the mode carries no timing (a virtual
// server's mode often has no dot clock or totals).
double refreshFromModeTiming(const ModeTiming& mode);

// One retrace counter reading: the counter and the server's microsecond clock.
struct MscSample {
  uint64_t msc = 0;
  uint64_t ustMicroseconds = 0;
};

// Retraces per second between two readings; 0 unless both advanced.
double refreshFromMscSamples(const MscSample& first, const MscSample& last);

}  // namespace platform
}  // namespace corvalis
