// The three stop signals set one flag; nothing else runs in signal context.
#include "platform/stop_request.h"

#include <csignal>
#include <initializer_list>

namespace platform {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

void WatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the link's blocking calls carry on undisturbed
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return stopRequested != 0; }

void RequestStop() { stopRequested = 1; }

}  // namespace platform
