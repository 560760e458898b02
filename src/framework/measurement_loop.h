#pragma once
// The one shape of every timed measurement: warm up, restart both timers, draw batches
// until the cap or the minimum time is reached, glFinish, read the performance timer,
// then, outside the timing, the GL errors queued meanwhile. Each test supplies its batch, its warm-up and the constants of its row in the loop
// table; no test carries a loop of its own.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/measured.h"
#include "framework/run_context.h"
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
  // ...but not before this many units are drawn (a slice's least work), and no glFinish
  // of a time-bounded queue before them either: a slice of one batch times the wake-up
  // from its glFinish, which a busy scheduler rounds to whole ticks, not the batch.
  // Iterations that took twice the minimum time end the slice without it.
  int minCount = 0;
  BatchEnd batchEnd = BatchEnd::Sync;
  int batchesPerIteration = 1;  // each batch is followed by its own batch end
  int finishEvery = 0;          // extra glFinish whenever count % finishEvery == 0 (0: never)
  bool warmupSwap = true;       // swap after the warm-up (then glFinish in every case)
  bool warmupBeforeTimers = false;  // warm up before the timers are constructed (Geometry)
  bool finalFinish = true;      // glFinish before reading the performance timer
  // Bound the queue by time where finishEvery units take longer than minSeconds (see
  // nextQueueFinish); finishEvery stays the bound where they do not.
  bool timeBoundQueue = false;
  // How often the whole measurement is taken, each time with its own warm-up (the
  // run's repeat count); below 1 counts as 1. runInRounds takes its rounds instead.
  int repeats = 1;
};

// One timed run of the loop.
struct LoopSample {
  int count = 0;         // units drawn in the timed part
  double seconds = 0.0;  // performance-counter time including the final glFinish
  // The GL errors queued by the time the timed part ended (takeGlErrors): those of its
  // warm-up and batches, and of the state set up since the loop before it.
  std::string glError;
};

// All repeats of one measurement (LoopSpec::repeats of them).
struct LoopResult {
  int count = 0;         // of the repeat whose rate is the median (the lower middle one)
  double seconds = 0.0;  // of that repeat
  std::vector<LoopSample> repeats;
  // The GL errors of every repeat, each name once.
  std::string glError;
  // work per unit * count / seconds of every repeat, in the order they ran.
  std::vector<double> rates(double workPerUnit) const;
  // The median of rates(); with one repeat exactly work per unit * count / seconds.
  // Not a number when any repeat failed to give a finite rate.
  double rate(double workPerUnit) const;
  // rate() with the rates() of the repeats as its samples (none after one repeat) and
  // the GL errors seen.
  Measured measured(double workPerUnit) const;
};

// The count after which the next glFinish falls, decided right after a glFinish at
// 'count' units with 'elapsedSeconds' on the stop timer. Where finishEvery units take
// less than minSeconds at the rate seen so far, the next multiple of finishEvery (the
// fixed bound); where they take longer, the units that fill the rest of minSeconds,
// whole steps, at least one step and no further than that multiple. So a slow
// renderer never queues more than about the minimum time of work.
int nextQueueFinish(int count, double elapsedSeconds, int step, int finishEvery,
                    double minSeconds);

using Batch = std::function<void()>;

// Runs one measurement spec.repeats times, each with its own warm-up and timed part.
// 'warmup' may be empty: no warm-up draw.
LoopResult runMeasurementLoop(const LoopSpec& spec, const SyncMethod& sync, const Batch& batch,
                              const Batch& warmup);

// Two measurements of one kind, A and B, each taken spec.repeats times in the order
// A B, B A, A B, ...: a slow drift of the machine's speed then weighs on both
// alike instead of always favouring the one measured first.
std::pair<LoopResult, LoopResult> runMeasurementPair(const LoopSpec& spec, const SyncMethod& sync,
                                                     const Batch& batchA, const Batch& warmupA,
                                                     const Batch& batchB, const Batch& warmupB);

// One of several measurements of a kind that are timed in turns: its batch and warm-up.
struct Pattern {
  Batch batch;
  Batch warmup;
};

// The slice of a loop that one turn of a measurement taken in rounds gets, so that
// 'rounds' turns together cost about 'budget' times the whole loop: its minimum time and
// cap divided alike, at least one step of work, and its queue bounded by time.
LoopSpec sliceOf(const LoopSpec& spec, int rounds, double budget);

// The rounds a set of slices can afford on a renderer whose one batch takes
// 'batchSeconds': all of them where a slice's least work (its least count, at least one
// iteration) fits its minimum time; else as many as keep the slices together near the
// time the rounds were meant to take, but never fewer than six (or 'rounds').
int roundsForSpeed(const LoopSpec& slice, int rounds, double batchSeconds);

// Times every pattern 'rounds' times, one slice each per round, the patterns of a round
// in forward order and those of the next in backward order (A B C, C B A, A B C, ...):
// a drift of the machine's speed or a burst of load then falls on all of them alike
// instead of on whichever was measured last. Each result holds its slices in the order
// taken as repeats.
std::vector<LoopResult> runInRounds(const LoopSpec& slice, const SyncMethod& sync, int rounds,
                                    const std::vector<Pattern>& patterns);

// One of the timed measurements of a test as measureSet takes them: its row of the loop
// table, the state it is measured in, its batch and warm-up.
struct Timed {
  LoopSpec spec;  // its repeats are ignored: the run decides how it is taken
  // Sets its state over the one the measurement before it left (untimed; may be empty).
  Batch enter;
  Batch batch;
  Batch warmup;
  // Its enter builds on the state of the measurement before it: in rounds that state is
  // made again by the enters back to the last measurement that is not chained.
  bool chained = false;
};

// How the measurements of a set are taken in a run with repeats: in 'rounds' rounds, each
// slice a 'sliceRounds'-th of its single window, until 'minRounds' rounds have run and
// every value is narrow (adaptive), or 'rounds' have run.
struct RoundPlan {
  int rounds = 1;
  int sliceRounds = 1;  // slices are sized as if there were this many rounds
  bool adaptive = false;
  int minRounds = 1;
};

// The rounds of a run with repeats (RunContext::repeats, or the adaptive mode).
RoundPlan roundPlan(const RunContext& context);

// Takes every measurement of a set. A single run (context.repeats 1, not adaptive)
// measures each once, in order, after its enter: the single measurement. Otherwise
// every measurement is taken in rounds (roundPlan), one slice each per round, in an
// order that turns round about from round to round; before each slice 'base' and the
// enters its state rests on set that state again, untimed. Each result holds its slices
// in the order taken as repeats.
std::vector<LoopResult> measureSet(const std::vector<Timed>& set, const Batch& base,
                                   const SyncMethod& sync, const RunContext& context);

}  // namespace corvalis
