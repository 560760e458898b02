#include "cpu_hog.h"

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace corvalis {

namespace {

double monotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The highest-numbered core this process may run on; -1 when that cannot be read.
int lastAllowedCore() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  for (int core = CPU_SETSIZE - 1; core >= 0; --core)
    if (CPU_ISSET(core, &allowed)) return core;
  return -1;
}

// The child: spins until its limit, or until the parent that started it is gone.
[[noreturn]] void spin(pid_t parent, double limitSeconds) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(0);  // the parent died before the line above
  const double end = monotonicSeconds() + limitSeconds;
  volatile unsigned long work = 0;
  while (monotonicSeconds() < end) {
    for (int i = 0; i < 1000000; ++i) work = work + static_cast<unsigned long>(i);
  }
  _exit(0);
}

}  // namespace

CpuHog::CpuHog(double limitSeconds) {
  core_ = lastAllowedCore();
  const pid_t parent = getpid();
  child_ = fork();
  if (child_ == 0) {
    if (core_ >= 0) {
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(core_, &one);
      sched_setaffinity(0, sizeof one, &one);
    }
    spin(parent, limitSeconds);
  }
}

CpuHog::~CpuHog() { stop(); }

bool CpuHog::stop() {
  if (child_ <= 0) return false;
  int status = 0;
  const bool running = waitpid(child_, &status, WNOHANG) == 0;
  if (running) {
    kill(child_, SIGKILL);
    waitpid(child_, &status, 0);
  }
  child_ = -1;
  return running;
}

}  // namespace corvalis
