#pragma once
// A request to stop the run, set from a signal handler (SIGINT, SIGTERM) and read at
// safe points: the measurement loop ends its test at the next batch, and files not yet
// renamed into place are thrown away instead.

namespace corvalis {

// Async-signal-safe: records the signal number (the first one wins).
void requestStop(int signal);
// The signal that asked to stop, 0 when none did.
int stopSignal();
inline bool stopRequested() { return stopSignal() != 0; }
// Forgets the request (tests only).
void clearStopRequest();

}  // namespace corvalis
