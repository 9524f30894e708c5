// What the platform's entry point (main, WinMain) runs: the program's
// portable body, which the program itself defines (the bridge: in app/).
// Declared here so that the entry point depends on nothing above the
// platform seam.
#pragma once

// Creates the program and runs its whole life; returns the exit code.
int RunBridgeProcess();
