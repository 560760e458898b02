// A fault injected under the real program, loaded with LD_PRELOAD by the integration
// tests: right after a file whose name ends in $CORVALIS_TAMPER_SUFFIX is renamed into
// place, the file $CORVALIS_TAMPER_WITH is renamed over it, as if someone replaced a data
// file between the run writing it and the charts page reading it back. Every other rename
// is passed on untouched.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern "C" int rename(const char* from, const char* to) {
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
  const int result = real(from, to);
  const char* suffix = std::getenv("CORVALIS_TAMPER_SUFFIX");
  const char* with = std::getenv("CORVALIS_TAMPER_WITH");
  const size_t length = std::strlen(to), suffixLength = suffix ? std::strlen(suffix) : 0;
  if (result == 0 && suffixLength > 0 && with != nullptr && length >= suffixLength &&
      std::strcmp(to + length - suffixLength, suffix) == 0 && real(with, to) != 0)
    _exit(99);  // the test must not pass on an untampered file
  return result;
}
