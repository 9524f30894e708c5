// Sleep.
#include <winsock2.h>
#include <windows.h>

#include "platform/sleep.h"

namespace platform {

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace platform
