// Whole-file reading and replacing on Windows through the wide calls, so that
// any character of a UTF-8 path reaches the file system.
#include "platform/utf8_files.h"

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {
namespace {

std::string Reason() { return win32::ErrorText(GetLastError()); }

// Taken names (left by crashed runs, or planted) before the write gives up.
constexpr int kTemporaryAttempts = 100;

// Renames `from` over `to`. A program that has `to` open for a moment (the
// simulator, a reader) refuses the rename meanwhile: it is tried again for
// up to two seconds.
bool MoveOver(const std::wstring& from, const std::wstring& to) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) || attempt == 200) return false;
    Sleep(10);
  }
}

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
  // Sharing deletion too, so that reading never stops another program's rename over the file.
  HANDLE file =
      CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool FollowLinks(const std::string& path, std::string* target, std::string* error) {
  const std::wstring wide = win32::Widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *target = path;
    return true;
  }
  // Opening follows the links; the handle then names the file they lead to.
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason();
    return false;
  }
  std::wstring final(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  if (length >= final.size()) {
    final.resize(length + 1);
    length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= final.size()) {
    *error = Reason();
    CloseHandle(file);
    return false;
  }
  CloseHandle(file);
  final.resize(length);
  if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.rfind(L"\\\\?\\", 0) == 0) {
    final = final.substr(4);
  }
  *target = win32::Narrow(final);
  return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string* error) {
  const std::wstring target = win32::Widen(path);
  // CREATE_NEW refuses any existing name, a link included.
  std::wstring temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kTemporaryAttempts; ++attempt) {
    temporary = target + L".nimbra-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
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
  if (written && !MoveOver(temporary, target)) {
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
