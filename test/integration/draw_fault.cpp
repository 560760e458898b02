// A driver fault and a driver slowdown on cue, loaded with LD_PRELOAD under one side of
// an A/B session: glReadPixels number $CORVALIS_ABORT_READ aborts the process (a driver
// crash in the middle of a measurement), number $CORVALIS_HANG_READ never returns (a
// hung driver: only SIGKILL ends it), and every glEnd first spins $CORVALIS_SPIN_US
// microseconds of processor time (a driver change that costs a fixed few percent).
// Reads are counted rather than draws because only the Readback test reads: a fault
// in its n-th read falls in that test whatever the machine's speed. Every call is
// passed on untouched.

#include <GL/gl.h>
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace {

long readCalls = 0;

long numberFrom(const char* name) {
  const char* text = std::getenv(name);
  return text ? std::atol(text) : 0;
}

}  // namespace

extern "C" void glEnd() {
  using End = void (*)();
  static const End end = reinterpret_cast<End>(dlsym(RTLD_NEXT, "glEnd"));
  static const long spin = numberFrom("CORVALIS_SPIN_US");
  if (spin > 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(spin);
    while (std::chrono::steady_clock::now() < until) {
    }
  }
  end();
}

extern "C" void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                             GLenum type, void* pixels) {
  using Read = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
  static const Read read = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "glReadPixels"));
  static const long abortAt = numberFrom("CORVALIS_ABORT_READ");
  static const long hangAt = numberFrom("CORVALIS_HANG_READ");
  ++readCalls;
  if (readCalls == abortAt) std::abort();
  // A signal handler that returns (the program's stop request) does not end the hang.
  while (readCalls == hangAt) pause();
  read(x, y, width, height, format, type, pixels);
}
