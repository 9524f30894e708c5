// A stop asked of the process from outside (on Linux SIGTERM, SIGINT or
// SIGHUP: `systemctl --user stop`, Ctrl+C, the end of the session), so that
// the bridge leaves its dispatch loop and runs its ordinary shutdown instead
// of dying with the unit still lit. The handler only sets a flag. On Windows
// the bridge's own icon asks it so, through RequestStop.
#pragma once

namespace platform {

// Installs the handlers; once, at start-up.
void WatchStopRequests();

// True once a stop was asked.
bool StopRequested();

// Asks for the same stop from inside the process (the icon's Quit); safe
// from any context a signal handler may run in.
void RequestStop();

}  // namespace platform
