#include "integration/run_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "integration/shell_command.h"

namespace corvalis_test {

namespace {

// Reads both pipes until both are closed, so that neither can fill up and block.
void drain(int outFd, int errFd, RunResult& result, pid_t pid, const OutputWatch& watch) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
        if (watch) watch(pid, result);
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

RunResult runCorvalis(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const std::string& folder,
                      const OutputWatch& watch, int ignoredSignal) {
  RunResult result;
  result.folder = folder.empty() ? makeTempFolder() : folder;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    if (ignoredSignal != 0) signal(ignoredSignal, SIG_IGN);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    if (chdir(result.folder.c_str()) != 0) _exit(126);
    // Headless unless a test names a display: a desktop session must not turn every
    // run into a window run.
    if (!env.count("DISPLAY")) unsetenv("DISPLAY");
    for (const auto& [name, value] : env) {
      if (value.empty())
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(CORVALIS_BINARY));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(CORVALIS_BINARY, argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  drain(outPipe[0], errPipe[0], result, pid, watch);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  result.peakKilobytes = usage.ru_maxrss;
  if (WIFEXITED(status))
    result.exitStatus = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitStatus = 128 + WTERMSIG(status);
  return result;
}

int validateJson(const std::string& schema, const std::vector<std::string>& files, std::string& out) {
  std::string command =
      "python3 '" CORVALIS_VALIDATE_JSON "' '" CORVALIS_SCHEMA_DIR "/" + schema + ".schema.json'";
  for (const std::string& file : files) command += " '" + file + "'";
  return shellCommand(command + " 2>&1", &out);
}

void expectFollowsSchema(const std::string& schema, const std::vector<std::string>& files) {
  std::string out;
  EXPECT_EQ(validateJson(schema, files, out), 0) << out;
}

}  // namespace corvalis_test
