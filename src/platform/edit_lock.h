// Turns between programs that edit one file: two runs of nimbra-autostart on
// one exe.xml must not both read the old file and each write back its own
// change. The lock is a file of its own beside the edited one (`path` +
// ".nimbra-lock"), held exclusively and gone when the last holder lets go.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace platform {

class EditLock {
 public:
  virtual ~EditLock() = default;
};

// Waits up to `patience` for the lock of `path`. Null with the reason in
// `error` when another holder keeps it that long, or the lock file cannot be
// made (a folder or a link planted at its name, no permission).
std::unique_ptr<EditLock> LockForEditing(const std::string& path, std::chrono::milliseconds patience,
                                         std::string* error);

namespace detail {
// One try at the lock file, the system's part of the wait above: the lock,
// or null with `busy` set while another holder keeps it, or null with the
// reason in `error` when the file cannot be made.
std::unique_ptr<EditLock> TryEditLock(const std::string& lockPath, bool* busy, std::string* error);
}  // namespace detail

}  // namespace platform
