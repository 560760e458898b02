#pragma once
// A bounded CPU load beside a benchmark run: one child process that spins on one core
// until it is stopped, its parent dies or its time limit passes, so that a measurement
// can be judged on a machine that is busy the way a shared one is.

#include <sys/types.h>

namespace corvalis {

class CpuHog {
 public:
  // Starts the child, pinned to the last core the process may use; at most
  // limitSeconds of spinning. started() tells whether it runs.
  explicit CpuHog(double limitSeconds);
  ~CpuHog();
  CpuHog(const CpuHog&) = delete;
  CpuHog& operator=(const CpuHog&) = delete;

  bool started() const { return child_ > 0; }
  int core() const { return core_; }
  // Stops the child and waits for it; true when it was still spinning (not killed by
  // its own limit or anything else).
  bool stop();

 private:
  pid_t child_ = -1;
  int core_ = -1;
};

}  // namespace corvalis
