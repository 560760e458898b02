#pragma once
// Shell command lines for the integration tests: python3 checks, bash completion, and the
// program run under limits (ulimit) or with its descriptors redirected.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace corvalis_test {

// Runs a shell command; returns its exit status (-1 when it did not exit) and appends what
// it printed on stdout to 'out' when one is given.
inline int shellCommand(const std::string& command, std::string* out = nullptr) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (out != nullptr) out->append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a shell line inside 'folder' with $B naming the program and, unless 'kilobytes' is
// 0, the address space limited to it (a program that reads or prints without bound then
// fails instead of taking the machine). Its stdout and stderr go to 'out' when one is given.
inline int shellIn(const std::string& folder, const std::string& line, long kilobytes = 0,
                   std::string* out = nullptr) {
  const std::string limit = kilobytes ? "ulimit -v " + std::to_string(kilobytes) + " && " : "";
  return shellCommand("cd '" + folder + "' && B='" CORVALIS_BINARY "' && " + limit + "(" + line +
                          ") 2>&1",
                      out);
}

// The folder's entries, one a line, hidden ones (the program's temporaries) included.
inline std::string listing(const std::string& folder) {
  std::string names;
  shellIn(folder, "ls -A", 0, &names);
  return names;
}

}  // namespace corvalis_test
