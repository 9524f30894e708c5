// The link's notification: a window message, then an event.
#include <winsock2.h>
#include <windows.h>

#include "platform/notify.h"

namespace platform {

void NotifyTargets(void* window, std::uint32_t message, void* event) {
  if (window != nullptr && message != 0) PostMessageA(static_cast<HWND>(window), message, 0, 0);
  if (event != nullptr) SetEvent(static_cast<HANDLE>(event));
}

}  // namespace platform
