// Whole-file reading and replacing on Windows through the wide calls, so that
// any character of a UTF-8 path reaches the file system.
#include "platform/utf8_files.h"

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {
namespace {

std::string Reason() { return win32::ErrorText(GetLastError()); }

}  // namespace

PathKind KindOfPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  return PathKind::File;
}

bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  HANDLE file = CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason();
    return false;
  }
  bytes->clear();
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      *error = Reason();
      CloseHandle(file);
      return false;
    }
    if (got == 0) break;
    bytes->append(buffer.data(), got);
  }
  CloseHandle(file);
  return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string* error) {
  const std::wstring target = win32::Widen(path);
  const std::wstring temporary = target + L".nimbra-tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason();
    return false;
  }
  std::size_t done = 0;
  bool written = true;
  while (written && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD put = 0;
    written = WriteFile(file, bytes.data() + done, chunk, &put, nullptr) && put == chunk;
    done += put;
  }
  if (written) written = FlushFileBuffers(file) != 0;
  if (!written) *error = Reason();
  CloseHandle(file);
  if (written && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = Reason();
    written = false;
  }
  if (!written) DeleteFileW(temporary.c_str());
  return written;
}

std::string LaunchPath(const std::string& path) {
  const std::wstring wide = win32::Widen(path);
  const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  const DWORD used = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (used == 0 || used >= length) return path;
  full.resize(used);
  return win32::Narrow(full);
}

char PathSeparator() { return '\\'; }

}  // namespace platform
