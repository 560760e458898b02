#pragma once
// The processor's time-stamp counter, read inline with no system call because the
// measurement loop's stop test reads it after every batch. Where there is no such
// counter a monotonic nanosecond clock stands in for it.

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <x86intrin.h>
#endif
namespace corvalis {
namespace platform {
inline uint64_t readCycleCounter() { return __rdtsc(); }
}  // namespace platform
}  // namespace corvalis
#else
#include <chrono>
namespace corvalis {
namespace platform {
inline uint64_t readCycleCounter() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}
}  // namespace platform
}  // namespace corvalis
#endif
