// The edit lock as a lock file opened with no sharing: a second opener is
// refused until the holder closes it, and the system deletes it then.
#include "platform/edit_lock.h"

#include <thread>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

class FileLock : public EditLock {
 public:
  explicit FileLock(HANDLE file) : file_(file) {}
  ~FileLock() override { CloseHandle(file_); }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<EditLock> LockForEditing(const std::string& path, std::chrono::milliseconds patience,
                                         std::string* error) {
  const std::string lockPath = path + ".nimbra-lock";
  const std::wstring wide = win32::Widen(lockPath);
  const auto end = std::chrono::steady_clock::now() + patience;
  for (;;) {
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) return std::make_unique<FileLock>(file);
    const DWORD code = GetLastError();
    // A holder, or one that is letting go (its file is pending deletion).
    const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
    if (!held) {
      *error = lockPath + ": " + win32::ErrorText(code);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= end) {
      *error = "another program is changing it";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace platform
