#include "platform/egl/posix_workers.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "framework/stop_request.h"

extern char** environ;

namespace corvalis::platform {

namespace {

// The environment variable that hands a worker its socket.
constexpr const char* WorkerVariable = "CORVALIS_AB_WORKER";

// Writes all of 'text'; false when the other end is gone.
bool sendAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// One byte; 0 at the end of the stream or on an error; -1 when a stop signal broke in.
int readByte(int fd) {
  for (;;) {
    unsigned char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n == 1) return c;
    if (n < 0 && errno == EINTR) {
      if (stopRequested()) return -1;
      continue;
    }
    return 0;
  }
}

// The rest of a line after its first byte, without the line feed; false when cut off.
bool readLine(int fd, std::string& line) {
  line.clear();
  for (;;) {
    const int c = readByte(fd);
    if (c <= 0) return false;
    if (c == '\n') return true;
    if (line.size() < 4096) line += static_cast<char>(c);
  }
}

}  // namespace

int takeWorkerSocket() {
  const char* value = std::getenv(WorkerVariable);
  if (!value) return -1;
  char* end = nullptr;
  const long fd = std::strtol(value, &end, 10);
  const bool valid = *value != '\0' && *end == '\0' && fd > 2 && fd < 65536;
  unsetenv(WorkerVariable);
  if (!valid || fcntl(static_cast<int>(fd), F_GETFD) == -1) return -1;
  fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
  return static_cast<int>(fd);
}

// The parent's replies: G, a slice may run; R and a number, the rounds agreed; X, the
// run is called off (no further request follows).
void WorkerGate::unexpectedReply(int reply) {
  if (reply == 'X')
    calledOff_ = true;
  else if (!stopRequested())
    requestStop(SIGTERM);
}

void WorkerGate::beforeSlice() {
  if (stopRequested() || calledOff_) return;
  const int reply = sendAll(socket_, "S") ? readByte(socket_) : 0;
  if (reply != 'G') unexpectedReply(reply);
}

int WorkerGate::agreeRounds(int rounds) {
  if (stopRequested() || calledOff_) return rounds;
  const int reply = sendAll(socket_, "R" + std::to_string(rounds) + "\n") ? readByte(socket_) : 0;
  std::string line;
  if (reply != 'R' || !readLine(socket_, line)) {
    unexpectedReply(reply);
    return rounds;
  }
  const int agreed = std::atoi(line.c_str());
  return agreed >= 1 && agreed <= rounds ? agreed : rounds;
}

bool parseHangSeconds(const char* text, int& seconds, std::string& error) {
  seconds = WorkerHangSeconds;
  if (text == nullptr) return true;
  // Digits only, and few enough that the number cannot overflow before it is checked.
  const size_t length = std::strlen(text);
  bool digits = length > 0 && length <= 4;
  for (size_t i = 0; digits && i < length; ++i)
    digits = text[i] >= '0' && text[i] <= '9';
  const int value = digits ? std::atoi(text) : 0;
  if (value >= 1 && value <= MaxHangSeconds) {
    seconds = value;
    return true;
  }
  error = std::string(HangSecondsVariable) + " must be a whole number of seconds from 1 to " +
          std::to_string(MaxHangSeconds) + ", not '" + text + "'";
  return false;
}

void reportWorkerStartFailure(int socket, const std::string& message) {
  std::string line = message;
  std::replace(line.begin(), line.end(), '\n', ' ');
  sendAll(socket, "E" + line + "\n");
}

namespace {

// A worker's request: the baton back before a slice, its rounds, or why it cannot start.
struct Request {
  enum Kind { Slice, Rounds, StartFailure, Ended, Hung, Stopped } kind = Ended;
  int rounds = 0;
  std::string text;
};

// The next request of a worker; Hung when none comes within 'hangSeconds'. A stop
// request is looked for every quarter second, so that one that came in just before
// the wait (and so did not interrupt it) is not missed.
Request awaitRequest(int fd, int hangSeconds) {
  pollfd entry = {fd, POLLIN, 0};
  for (int waited = 0;; waited += 250) {
    if (stopRequested()) return {Request::Stopped, 0, ""};
    if (waited >= hangSeconds * 1000) return {Request::Hung, 0, ""};
    const int ready = poll(&entry, 1, 250);
    if (ready > 0) break;
  }
  const int c = readByte(fd);
  if (c < 0) return {Request::Stopped, 0, ""};
  if (c == 'S') return {Request::Slice, 0, ""};
  std::string line;
  if (c == 'R' && readLine(fd, line)) return {Request::Rounds, std::atoi(line.c_str()), ""};
  if (c == 'E' && readLine(fd, line)) return {Request::StartFailure, 0, line};
  return {};  // the end of the stream: the worker is gone
}

struct Worker {
  pid_t pid = -1;
  int socket = -1;
  bool done = false;
  Request pending;
  std::optional<int> agreedRounds;
};

// Starts one worker: this program again, with the side's environment, its socket, and
// its standard output on the null device (the parent prints the session's results).
bool startWorker(const WorkerLaunch& launch, Worker& worker, std::string& why) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    why = std::string("cannot make its socket: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const std::string& own : launch.environment)
      replaced = replaced || own.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) environment.push_back(text);
  }
  environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
  environment.push_back(std::string(WorkerVariable) + "=" + std::to_string(pair[1]));
  std::vector<std::string> arguments = {"corvalis"};
  arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<char*> argv, envp;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int nullOutput = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid == 0) {
    // A parent that is killed outright takes its workers with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    fcntl(pair[1], F_SETFD, 0);
    if (nullOutput >= 0) dup2(nullOutput, STDOUT_FILENO);
    execve("/proc/self/exe", argv.data(), envp.data());
    _exit(127);
  }
  if (nullOutput >= 0) close(nullOutput);
  close(pair[1]);
  if (pid < 0) {
    close(pair[0]);
    why = std::string("cannot start its process: ") + std::strerror(errno);
    return false;
  }
  worker.pid = pid;
  worker.socket = pair[0];
  return true;
}

// Waits for a worker's end and says how it ended; 'status' its exit status, -1 when a
// signal ended it.
std::string reap(Worker& worker, int& status) {
  int raw = 0;
  while (waitpid(worker.pid, &raw, 0) < 0 && errno == EINTR) {
  }
  close(worker.socket);
  worker.done = true;
  status = -1;
  if (WIFSIGNALED(raw))
    return "its worker was killed by signal " + std::to_string(WTERMSIG(raw)) + " (" +
           strsignal(WTERMSIG(raw)) + ")";
  status = WEXITSTATUS(raw);
  return "its worker ended with exit status " + std::to_string(status);
}

// Ends a worker that is still running: its socket shut first, since a signal may land on
// one of the driver's threads and leave a read of the baton blocked; then the signal,
// and after a few seconds SIGKILL.
void endWorker(Worker& worker, int signal, DuetOutcome& outcome, int side) {
  if (worker.done || worker.pid < 0) return;
  shutdown(worker.socket, SHUT_RDWR);
  kill(worker.pid, signal);
  for (int wait = 0; wait < 100; ++wait) {
    int raw = 0;
    if (waitpid(worker.pid, &raw, WNOHANG) != 0) {
      close(worker.socket);
      worker.done = true;
      return;
    }
    usleep(100000);
  }
  kill(worker.pid, SIGKILL);
  reap(worker, outcome.exitStatus[side]);
}

// The temporaries a worker that was killed left in its folder: ".corvalis-PID-*", the
// names its files get before they are renamed into place.
void removeTemporaries(const std::string& folder, pid_t pid) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  const std::string prefix = ".corvalis-" + std::to_string(pid) + "-";
  DIR* listing = opendir(dir.c_str());
  if (!listing) return;
  while (const dirent* entry = readdir(listing))
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      unlink((dir + "/" + entry->d_name).c_str());
  closedir(listing);
}

// The reply that hands the baton to a worker: its rounds, agreed with the other side
// where both are deciding the same rounds, or leave to run its slice.
std::string grantFor(Worker& worker, Worker& other) {
  if (worker.pending.kind != Request::Rounds) return "G";
  int rounds = worker.pending.rounds;
  if (worker.agreedRounds) {
    rounds = *worker.agreedRounds;
    worker.agreedRounds.reset();
  } else if (!other.done && other.pending.kind == Request::Rounds) {
    rounds = std::min(rounds, other.pending.rounds);
    other.agreedRounds = rounds;
  }
  return "R" + std::to_string(rounds) + "\n";
}

// Both workers up to their first request; false when one could not start.
bool startBoth(const std::array<WorkerLaunch, 2>& sides, std::array<Worker, 2>& workers,
               int hangSeconds, DuetOutcome& outcome) {
  for (int side = 0; side < 2; ++side) {
    if (!startWorker(sides[side], workers[side], outcome.why[side])) {
      outcome.lost[side] = true;
      return false;
    }
  }
  for (int side = 0; side < 2; ++side) {
    Worker& worker = workers[side];
    worker.pending = awaitRequest(worker.socket, hangSeconds);
    switch (worker.pending.kind) {
      case Request::Slice:
      case Request::Rounds:
        outcome.started[side] = true;
        continue;
      case Request::Stopped:
        outcome.stopSignal = stopSignal();
        return false;
      case Request::StartFailure:
        outcome.why[side] = worker.pending.text;
        break;
      case Request::Hung:
        kill(worker.pid, SIGKILL);
        outcome.why[side] = "its worker did not start within " +
                            std::to_string(hangSeconds) + " s";
        break;
      case Request::Ended:
        break;
    }
    outcome.lost[side] = true;
    const std::string ended = reap(worker, outcome.exitStatus[side]);
    if (outcome.why[side].empty()) outcome.why[side] = ended;
    return false;
  }
  return true;
}

}  // namespace

DuetOutcome runDuet(const std::array<WorkerLaunch, 2>& sides, int hangSeconds) {
  DuetOutcome outcome;
  std::array<Worker, 2> workers;
  if (!startBoth(sides, workers, hangSeconds, outcome)) {
    for (int side = 0; side < 2; ++side) {
      endWorker(workers[side], SIGTERM, outcome, side);
      if (workers[side].pid > 0) removeTemporaries(sides[side].folder, workers[side].pid);
    }
    if (stopRequested()) outcome.stopSignal = stopSignal();
    return outcome;
  }
  // A B B A: each side's slice next to the other's, each going first as often. Once a
  // side is lost, the other's next request is answered with a call-off.
  static const int order[4] = {0, 1, 1, 0};
  for (long turn = 0; !workers[0].done || !workers[1].done; ++turn) {
    int side = order[turn % 4];
    if (workers[side].done) side = 1 - side;
    Worker& worker = workers[side];
    ++outcome.turns[side];
    const bool stopping = outcome.lost[1 - side];
    if (stopping) outcome.calledOff[side] = true;
    if (!sendAll(worker.socket, stopping ? "X" : grantFor(worker, workers[1 - side]))) {
      worker.pending.kind = Request::Ended;
    } else {
      worker.pending = awaitRequest(worker.socket, hangSeconds);
    }
    switch (worker.pending.kind) {
      case Request::Slice:
      case Request::Rounds:
      case Request::StartFailure:
        break;
      case Request::Stopped:
        outcome.stopSignal = stopSignal();
        for (int s = 0; s < 2; ++s) {
          endWorker(workers[s], SIGTERM, outcome, s);
          removeTemporaries(sides[s].folder, workers[s].pid);
        }
        return outcome;
      case Request::Hung:
        kill(worker.pid, SIGKILL);
        reap(worker, outcome.exitStatus[side]);
        removeTemporaries(sides[side].folder, worker.pid);
        outcome.lost[side] = true;
        outcome.why[side] = "its worker held one turn for more than " +
                            std::to_string(hangSeconds) + " s and was killed";
        break;
      case Request::Ended: {
        const std::string ended = reap(worker, outcome.exitStatus[side]);
        const int status = outcome.exitStatus[side];
        // 0: all done; 3: a test failed, its report written; 1: files lost (named by it).
        if (status != 0 && status != 1 && status != 3) {
          outcome.lost[side] = true;
          outcome.why[side] = ended;
          removeTemporaries(sides[side].folder, worker.pid);
        }
        break;
      }
    }
  }
  if (stopRequested()) outcome.stopSignal = stopSignal();
  return outcome;
}

}  // namespace corvalis::platform
