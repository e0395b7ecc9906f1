// POSIX stop signals (SIGINT, SIGTERM) for headless processes.
#include <pthread.h>
#include <signal.h>

#include "platform/stop_signal.h"

namespace platform {

namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void BlockStopSignals() {
  sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int WaitForStopSignal() {
  sigset_t set = StopSignals();
  int number = 0;
  while (sigwait(&set, &number) != 0) {
  }
  return number;
}

}  // namespace platform
