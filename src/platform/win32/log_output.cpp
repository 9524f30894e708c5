// The log's file operations on Windows, through the wide calls so that a
// user folder with any character in its name works.
#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "platform/log_output.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// Makes every missing folder above the last component of `path`.
void MakeParentFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
}

}  // namespace

std::string DefaultLogPath() {
  // The environment's value first, as %LOCALAPPDATA% means, then the shell's.
  std::wstring folder(MAX_PATH + 1, L'\0');
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
  if (length == 0 || length >= folder.size()) {
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder.data()))) {
      return std::string();
    }
    length = static_cast<DWORD>(wcslen(folder.c_str()));
  }
  folder.resize(length);
  if (folder.empty()) return std::string();
  if (folder.back() != L'\\') folder += L'\\';
  return win32::Narrow(folder + L"Nimbra Bridge\\Nimbra_Bridge.log");
}

std::string LocalTimeStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::wstring wide = win32::Widen(path);
  auto open = [&] {
    return CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE file = open();
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
    MakeParentFolders(wide);
    file = open();
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = GetFileType(file) == FILE_TYPE_DISK;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    DWORD n = 0;
    written = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr) && n > 0;
    done += n;
  }
  return CloseHandle(file) && written;
}

std::int64_t SizeOfFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool MoveOverFile(const std::string& from, const std::string& to) {
  return MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace platform
