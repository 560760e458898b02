#pragma once
// corvalis_bench --stability: the detections of Tiling and Texture cache run after run,
// optionally beside a one-core CPU hog, with how many runs agree on each answer and what
// repeats cost against a single measurement.

namespace corvalis {

// Arguments after "--stability": tiling|texcache|both K N [-WIDTHxHEIGHT] [--load].
// Prints as it goes; returns the exit status (2 for bad arguments).
int runStability(int argc, char** argv);

}  // namespace corvalis
