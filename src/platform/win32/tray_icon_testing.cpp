// Finding the bridge's icon window by its class name and posting to it.
#include <winsock2.h>
#include <windows.h>

#include "platform/tray_icon.h"
#include "platform/tray_icon_testing.h"

namespace platform {

namespace {

// The first window of the icon's class under `parent` (null: the top-level
// ones) that belongs to the process.
HWND WindowOf(HWND parent, DWORD processId) {
  for (HWND window = FindWindowExW(parent, nullptr, kTrayWindowClass, nullptr); window != nullptr;
       window = FindWindowExW(parent, window, kTrayWindowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

}  // namespace

bool PostTrayCommand(unsigned id, unsigned waitMilliseconds, long processId) {
  const ULONGLONG end = GetTickCount64() + waitMilliseconds;
  const auto process = static_cast<DWORD>(processId);
  for (;;) {
    HWND window = WindowOf(nullptr, process);
    if (window == nullptr) window = WindowOf(HWND_MESSAGE, process);
    if (window != nullptr) return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

}  // namespace platform
