// A stop asked of the process from outside (on Linux SIGTERM, SIGINT or
// SIGHUP: `systemctl --user stop`, Ctrl+C, the end of the session), so that
// the bridge leaves its dispatch loop and runs its ordinary shutdown instead
// of dying with the unit still lit. The handler only sets a lock-free
// atomic flag, which the dispatch loop reads. On Windows the bridge's own
// icon asks it so, through RequestStop.
#pragma once

namespace platform {

// Installs the handlers; once, at start-up.
void WatchStopRequests();

// Asks for a stop. Safe from any thread and inside a signal handler.
void RequestStop();

// True once a stop was asked.
bool StopRequested();

}  // namespace platform
