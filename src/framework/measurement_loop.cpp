#include "framework/measurement_loop.h"

#include "framework/stop_request.h"
#include "framework/timers.h"
#include "platform/gl_include.h"

namespace corvalis {

namespace {

// The test's warm-up draw (if any), the swap when the loop asks for one, then glFinish
// so that the timed part starts on an idle pipeline.
void warmUp(const LoopSpec& spec, const SyncMethod& sync, const Batch& warmup) {
  if (warmup) warmup();
  if (spec.warmupSwap) sync.swap();
  glFinish();
}

void endBatch(BatchEnd end, const SyncMethod& sync) {
  switch (end) {
    case BatchEnd::Sync:
      sync.endBatch();
      break;
    case BatchEnd::Flush:
      glFlush();
      break;
    case BatchEnd::None:
      break;
  }
}

}  // namespace

LoopResult runMeasurementLoop(const LoopSpec& spec, const SyncMethod& sync, const Batch& batch,
                              const Batch& warmup) {
  if (spec.warmupBeforeTimers) warmUp(spec, sync, warmup);
  CycleTimer cycles;
  PerfTimer perf;
  LoopResult result;
  if (!spec.warmupBeforeTimers) warmUp(spec, sync, warmup);

  perf.restart();
  cycles.restart();
  for (;;) {
    for (int i = 0; i < spec.batchesPerIteration; ++i) {
      batch();
      endBatch(spec.batchEnd, sync);
    }
    result.count += spec.step;
    if (spec.finishEvery > 0 && result.count % spec.finishEvery == 0) glFinish();
    // The cap bounds the work of a fast batch...
    if (result.count >= spec.cap) break;
    // ...and the minimum time, read from the cycle counter alone, that of a slow one.
    if (cycles.elapsed() >= spec.minSeconds) break;
    // A stop request (Ctrl-C) ends the test at the next batch.
    if (stopRequested()) break;
  }
  if (spec.finalFinish) glFinish();
  result.seconds = perf.elapsed();
  return result;
}

}  // namespace corvalis
