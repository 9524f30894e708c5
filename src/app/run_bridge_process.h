// The portable body of the process entry point: creates the BridgeApp, whose
// constructor is the whole life of the process, keeps it in the process-wide
// owning pointer and returns the exit code (always 0).
#pragma once

int RunBridgeProcess();
