#pragma once
// Where a long test stands, for a console to show while it runs. The tests report
// steps between their timed loops; the process-wide sink does nothing unless the
// entry point installs one. Nothing here writes to a report or to stdout.

namespace corvalis {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // 'phase' names what is being measured ("RGBA sweep", "columns, color buffer");
  // 'step' of 'total' steps is about to start (total 0: no count).
  virtual void progress(const char* phase, int step, int total) = 0;
};

// Installs the sink (null: none). The caller keeps ownership.
void setProgressSink(ProgressSink* sink);

// Passes a step to the installed sink; cheap when there is none.
void reportProgress(const char* phase, int step, int total);

}  // namespace corvalis
