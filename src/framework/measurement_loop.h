#pragma once
// The one shape of every timed measurement: warm up, restart both timers, draw batches
// until the cap or the minimum time is reached, glFinish, read the performance timer.
// Each test supplies its batch, its warm-up and the constants of its row in the loop
// table; no test carries a loop of its own.

#include <functional>

#include "framework/sync_method.h"

namespace corvalis {

// What ends each batch inside the loop.
enum class BatchEnd {
  Sync,   // SyncMethod::endBatch (swap or glFlush as chosen)
  Flush,  // glFlush whatever was chosen (Tiling)
  None,   // nothing (Readback)
};

struct LoopSpec {
  int step = 1;              // units counted per iteration
  int cap = 5000;            // leave once the count reaches this
  double minSeconds = 0.5;   // leave once the cycle timer shows this much
  BatchEnd batchEnd = BatchEnd::Sync;
  int batchesPerIteration = 1;  // each batch is followed by its own batch end
  int finishEvery = 0;          // extra glFinish whenever count % finishEvery == 0 (0: never)
  bool warmupSwap = true;       // swap after the warm-up (then glFinish in every case)
  bool warmupBeforeTimers = false;  // warm up before the timers are constructed (Geometry)
  bool finalFinish = true;      // glFinish before reading the performance timer
};

struct LoopResult {
  int count = 0;         // units drawn in the timed part
  double seconds = 0.0;  // performance-counter time including the final glFinish
  // work per unit * count / seconds
  double rate(double workPerUnit) const { return workPerUnit * count / seconds; }
};

using Batch = std::function<void()>;

// Runs one measurement. 'warmup' may be empty: no warm-up draw.
LoopResult runMeasurementLoop(const LoopSpec& spec, const SyncMethod& sync, const Batch& batch,
                              const Batch& warmup);

}  // namespace corvalis
