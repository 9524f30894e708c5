// The edit lock as a lock file opened with no sharing: a second opener is
// refused until the holder closes it, and the system deletes it then.
#include "platform/edit_lock.h"

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

namespace detail {

std::unique_ptr<EditLock> TryEditLock(const std::string& lockPath, bool* busy, std::string* error) {
  HANDLE file = CreateFileW(win32::Widen(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file != INVALID_HANDLE_VALUE) return std::make_unique<FileLock>(file);
  const DWORD code = GetLastError();
  // A holder, or one that is letting go (its file is pending deletion).
  *busy = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
  if (!*busy) *error = lockPath + ": " + win32::ErrorText(code);
  return nullptr;
}

}  // namespace detail

}  // namespace platform
