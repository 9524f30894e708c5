// The Windows bridge has no console: its icon's Quit asks it to stop. A
// console tool that watches for stops is asked by Ctrl+C, Ctrl+Break or the
// console's closing; the handler only sets a flag.
#include "platform/stop_request.h"

#include <windows.h>

namespace platform {

namespace {

volatile LONG stopRequested = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  InterlockedExchange(&stopRequested, 1);
  return TRUE;
}

}  // namespace

void WatchStopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool StopRequested() { return InterlockedCompareExchange(&stopRequested, 0, 0) != 0; }

void RequestStop() { InterlockedExchange(&stopRequested, 1); }

}  // namespace platform
