// Reading files named by narrow paths. On POSIX a path that holds a '\' is a
// Windows path: a leading "Z:" (Wine's drive for "/") is dropped and every
// '\' becomes '/'; a path without '\' is used as it is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Opens a file for binary reading ("rb"); null when it does not open. A
// folder never opens (on POSIX neither does a pipe or a device).
std::FILE* OpenFileForReading(const std::string& path);

// A small file whole, read through OpenFileForReading: false when it does not
// open, does not read, or holds more than `maxBytes` (then `bytes` holds what
// was read up to the first piece past the limit).
inline bool ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string* bytes) {
  bytes->clear();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFileForReading(path), &std::fclose);
  if (!file) return false;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    bytes->append(buffer, got);
    if (bytes->size() > maxBytes) return false;
  }
  return std::ferror(file.get()) == 0;
}

// The size of the file at `path` as a signed 32-bit number. False when the
// query fails or the size does not fit (files of 2 GiB and more).
bool QueryFileSize32(const std::string& path, std::int32_t* size);

// One entry of a folder.
struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// The entries of the folder at `path`, without "." and "..", in no
// particular order. False when it is not a folder that can be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries);

// What a file or folder looks like from outside, enough to notice that it
// changed without reading it: one status query, no folder listing. A
// folder's time changes when an entry is added, removed or renamed.
struct FileStamp {
  enum class Kind { Absent, File, Folder, Other } kind = Kind::Absent;  // Other: neither file nor folder
  std::int64_t size = 0;
  std::int64_t modified = 0;  // last write, in nanoseconds since 1970 UTC
  bool operator==(const FileStamp&) const = default;
};
FileStamp QueryFileStamp(const std::string& path);

}  // namespace platform
