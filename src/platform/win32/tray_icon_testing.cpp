// Finding the bridge's icon window by its class name and posting to it.
#include <winsock2.h>
#include <windows.h>

#include "platform/tray_icon.h"
#include "platform/tray_icon_testing.h"

namespace platform {

bool PostTrayCommand(unsigned id, unsigned waitMilliseconds) {
  const ULONGLONG end = GetTickCount64() + waitMilliseconds;
  for (;;) {
    HWND window = FindWindowW(kTrayWindowClass, nullptr);
    if (window == nullptr) window = FindWindowExW(HWND_MESSAGE, nullptr, kTrayWindowClass, nullptr);
    if (window != nullptr) return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

}  // namespace platform
