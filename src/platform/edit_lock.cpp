// The wait for the edit lock, the same on every system: a try every 2 ms
// until the lock is taken, the file cannot be made, or patience runs out.
#include "platform/edit_lock.h"

#include <thread>

namespace platform {

std::unique_ptr<EditLock> LockForEditing(const std::string& path, std::chrono::milliseconds patience,
                                         std::string* error) {
  const std::string lockPath = path + ".nimbra-lock";
  const auto end = std::chrono::steady_clock::now() + patience;
  for (;;) {
    bool busy = false;
    if (auto lock = detail::TryEditLock(lockPath, &busy, error)) return lock;
    if (!busy) return nullptr;
    if (std::chrono::steady_clock::now() >= end) {
      *error = "another program is changing it";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace platform
