// File reading on POSIX. Opening refuses anything but a plain file: fopen
// would open a folder here (and block on a pipe), which Windows never does.
#include "platform/file_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <limits>

namespace platform {
namespace {

std::string NativePath(const std::string& path) {
  if (path.find('\\') == std::string::npos) return path;
  std::string native = path;
  if (native.size() >= 2 && (native[0] == 'Z' || native[0] == 'z') && native[1] == ':') native.erase(0, 2);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

}  // namespace

std::FILE* OpenFileForReading(const std::string& path) {
  const std::string native = NativePath(path);
  // Non-blocking so that opening a pipe cannot hang; cleared again below.
  const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

bool QueryFileSize32(const std::string& path, std::int32_t* size) {
  struct stat status;
  if (::stat(NativePath(path).c_str(), &status) != 0) return false;
  if (status.st_size < 0 || status.st_size > std::numeric_limits<std::int32_t>::max()) return false;
  *size = static_cast<std::int32_t>(status.st_size);
  return true;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  const std::string native = NativePath(path);
  DIR* folder = ::opendir(native.c_str());
  if (folder == nullptr) return false;
  entries->clear();
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // Follows links, as opening a path below the folder would.
    struct stat status;
    const std::string full = native + (native.empty() || native.back() == '/' ? "" : "/") + name;
    entries->push_back({name, ::stat(full.c_str(), &status) == 0 && S_ISDIR(status.st_mode)});
  }
  ::closedir(folder);
  return true;
}

FileStamp QueryFileStamp(const std::string& path) {
  FileStamp stamp;
  struct stat status;
  // Looked at once a second: a native path is used as it is, without a copy.
  const bool native = path.find('\\') == std::string::npos;
  if (::stat(native ? path.c_str() : NativePath(path).c_str(), &status) != 0) return stamp;
  stamp.kind = S_ISREG(status.st_mode)   ? FileStamp::Kind::File
               : S_ISDIR(status.st_mode) ? FileStamp::Kind::Folder
                                         : FileStamp::Kind::Other;
  stamp.size = static_cast<std::int64_t>(status.st_size);
  stamp.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return stamp;
}


}  // namespace platform
