// The three stop signals ask for a stop; nothing else runs in signal context.
#include "platform/stop_request.h"

#include <csignal>
#include <initializer_list>

namespace platform {

namespace {

void OnStopSignal(int) { RequestStop(); }

}  // namespace

void WatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the link's blocking calls carry on undisturbed
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace platform
