#include "framework/stop_request.h"

#include <csignal>

namespace corvalis {

namespace {
volatile std::sig_atomic_t stopSignalNumber = 0;
}  // namespace

void requestStop(int signal) {
  if (stopSignalNumber == 0) stopSignalNumber = signal;
}

int stopSignal() { return stopSignalNumber; }

void clearStopRequest() { stopSignalNumber = 0; }

}  // namespace corvalis
