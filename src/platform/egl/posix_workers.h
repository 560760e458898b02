#pragma once
// The two worker processes of an A/B session and the baton they pass: each worker is
// this program again, with its side's environment, talking to the parent over a socket.
// A worker asks for the baton before every timed slice and when it decides its rounds,
// and holds it until it asks again, so that exactly one side runs at any time; the
// parent hands it out A B B A ... and watches for a worker that dies or stops answering.

#include <array>
#include <string>
#include <vector>

#include "framework/slice_gate.h"

namespace corvalis::platform {

// The socket to the parent when this process is a worker, taken out of the environment
// (so that nothing this process starts inherits it); -1 when it is none.
int takeWorkerSocket();

// A worker's gate: each slice waits for the parent's word. The parent calls the run off
// when the other side was lost; a parent that is gone stops the run (as a SIGTERM would).
class WorkerGate : public SliceGate {
 public:
  explicit WorkerGate(int socket) : socket_(socket) {}
  void beforeSlice() override;
  int agreeRounds(int rounds) override;
  bool calledOff() const override { return calledOff_; }

 private:
  // Takes the parent's reply that is not the one asked for: a call-off, or else the end.
  void unexpectedReply(int reply);

  int socket_;
  bool calledOff_ = false;
};

// Tells the parent why this worker cannot start; it exits after.
void reportWorkerStartFailure(int socket, const std::string& message);

struct WorkerLaunch {
  std::vector<std::string> environment;  // NAME=VALUE set on top of this process's own
  std::vector<std::string> arguments;    // after argv[0]
  std::string folder;                    // where it writes its reports ("" for here)
};

// What became of a session's workers.
struct DuetOutcome {
  int stopSignal = 0;                 // a stop signal ended the session
  std::array<bool, 2> started{};      // the side's worker reached its first slice
  std::array<bool, 2> lost{};         // it died, hung or failed to start
  std::array<std::string, 2> why;     // what happened to a side that was lost
  std::array<int, 2> exitStatus{{-1, -1}};  // of a worker that ended on its own
  std::array<int, 2> turns{};         // turns each side was given
  std::array<bool, 2> calledOff{};    // told to stop when the other side was lost
};

// Seconds a worker may hold the baton (a slice and the untimed work up to its next
// one, its start included) before it counts as hung and is killed.
constexpr int WorkerHangSeconds = 120;

// A testing aid: the environment variable that sets another hang limit for a session,
// so that a test of the limit need not wait two minutes (or a driver under a debugger
// may take longer). Read by the parent alone; the workers ignore it.
constexpr const char* HangSecondsVariable = "CORVALIS_AB_HANG_SECONDS";
constexpr int MaxHangSeconds = 3600;

// The hang limit that HangSecondsVariable's value asks for ('text', nullptr when it is
// unset): WorkerHangSeconds when unset, else a whole number of seconds from 1 to
// MaxHangSeconds; false, with a message naming the variable and the value, otherwise.
bool parseHangSeconds(const char* text, int& seconds, std::string& error);

// Runs the two workers to their end, taking turns. When one cannot start, the other is
// stopped and nothing is measured; when one dies or hangs during the session, the
// session stops: the other is called off at its next request, and writes its reports
// with what it has finished; a stop signal ends both. A worker that holds one turn for
// more than 'hangSeconds' counts as hung.
DuetOutcome runDuet(const std::array<WorkerLaunch, 2>& sides, int hangSeconds);

}  // namespace corvalis::platform
