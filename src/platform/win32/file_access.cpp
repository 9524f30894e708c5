// File reading on Windows: the runtime's fopen and _stat64i32, whose 32-bit
// size makes the query fail for files of 2 GiB and more.
#include "platform/file_access.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

namespace platform {

std::FILE* OpenFileForReading(const std::string& path) {
  return std::fopen(path.c_str(), "rb");
}

bool QueryFileSize32(const std::string& path, std::int32_t* size) {
  struct _stat64i32 status;
  if (_stat64i32(path.c_str(), &status) != 0) return false;
  *size = static_cast<std::int32_t>(status.st_size);
  return true;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  entries->clear();
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries->push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

FileStamp QueryFileStamp(const std::string& path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
  stamp.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileStamp::Kind::Folder : FileStamp::Kind::File;
  stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  // 100-nanosecond steps since 1601, moved to 1970.
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000LL;
  const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                               data.ftLastWriteTime.dwLowDateTime);
  stamp.modified = (ticks - kFrom1601To1970) * 100;
  return stamp;
}


}  // namespace platform
