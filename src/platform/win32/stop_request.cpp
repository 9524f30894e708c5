// The Windows bridge has no console: its icon's Quit asks it to stop. A
// console tool that watches for stops is asked by Ctrl+C, Ctrl+Break or the
// console's closing, on a thread the system starts for the handler.
#include "platform/stop_request.h"

#include <windows.h>

namespace platform {

namespace {

BOOL WINAPI OnConsoleControl(DWORD) {
  RequestStop();
  return TRUE;
}

}  // namespace

void WatchStopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

}  // namespace platform
