// A driver fault and a driver slowdown on cue, loaded with LD_PRELOAD under one side of
// an A/B session: glEnd number $CORVALIS_ABORT_DRAW aborts the process (a driver crash
// in the middle of a measurement), and every glEnd first spins $CORVALIS_SPIN_US
// microseconds of processor time (a driver change that costs a fixed few percent).
// Every call is passed on untouched.

#include <GL/gl.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>

namespace {

long drawCalls = 0;

long numberFrom(const char* name) {
  const char* text = std::getenv(name);
  return text ? std::atol(text) : 0;
}

}  // namespace

extern "C" void glEnd() {
  using End = void (*)();
  static const End end = reinterpret_cast<End>(dlsym(RTLD_NEXT, "glEnd"));
  static const long abortAt = numberFrom("CORVALIS_ABORT_DRAW");
  static const long spin = numberFrom("CORVALIS_SPIN_US");
  if (++drawCalls == abortAt) std::abort();
  if (spin > 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(spin);
    while (std::chrono::steady_clock::now() < until) {
    }
  }
  end();
}
