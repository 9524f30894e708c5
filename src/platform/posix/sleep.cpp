// POSIX port of Sleep.
#include "platform/sleep.h"

#include <chrono>
#include <thread>

namespace platform {

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
