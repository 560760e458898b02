// A fault injected under the real program, loaded with LD_PRELOAD by the integration
// tests: right after a file whose name ends in $CORVALIS_TAMPER_SUFFIX is renamed into
// place, its bytes are replaced by those of the file $CORVALIS_TAMPER_WITH, as if
// someone edited a data file between the run writing it and the charts page reading it
// back. Every other rename is passed on untouched.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

bool endsWith(const char* text, const char* suffix) {
  const size_t length = std::strlen(text), suffixLength = std::strlen(suffix);
  return suffixLength > 0 && length >= suffixLength &&
         std::strcmp(text + length - suffixLength, suffix) == 0;
}

// Copies the file 'from' over 'to'; false when either cannot be opened or written.
bool copyOver(const char* from, const char* to) {
  int in = open(from, O_RDONLY);
  if (in < 0) return false;
  int out = open(to, O_WRONLY | O_TRUNC);
  bool ok = out >= 0;
  char buffer[4096];
  ssize_t n;
  while (ok && (n = read(in, buffer, sizeof buffer)) > 0) ok = write(out, buffer, n) == n;
  if (out >= 0) close(out);
  close(in);
  return ok;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
  const int result = real(from, to);
  const char* suffix = std::getenv("CORVALIS_TAMPER_SUFFIX");
  const char* with = std::getenv("CORVALIS_TAMPER_WITH");
  if (result == 0 && suffix != nullptr && with != nullptr && endsWith(to, suffix) &&
      !copyOver(with, to))
    _exit(99);  // the test must not pass on an untampered file
  return result;
}
