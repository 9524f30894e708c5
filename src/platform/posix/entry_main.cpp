// POSIX entry point: arguments are ignored (the bridge takes no command line).
// A stop signal ends the dispatch loop, so the ordinary shutdown still runs.
#include "platform/program_entry.h"
#include "platform/stop_request.h"

int main() {
  platform::WatchStopRequests();
  return RunBridgeProcess();
}
