// Whole-file reading and replacing on POSIX, where paths are bytes and UTF-8
// passes through unchanged.
#include "platform/utf8_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

std::string Reason() { return std::strerror(errno); }

// Taken names (left by crashed runs, or planted) before the write gives up.
constexpr int kTemporaryAttempts = 100;

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

PathKind KindOfPath(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

bool IsReadOnlyFile(const std::string& path) {
  // The permission bits, not access(2): root may write anywhere, but a file
  // the pilot made read-only is meant to stay as it is.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason();
    return false;
  }
  bytes->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof(buffer));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = Reason();
      ::close(fd);
      return false;
    }
    bytes->append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

bool FollowLinks(const std::string& path, std::string* target, std::string* error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    *target = path;
    return true;
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    *error = errno == ENOENT ? "a link to a file that does not exist" : Reason();
    return false;
  }
  *target = resolved;
  std::free(resolved);
  return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string* error) {
  mode_t mode = 0644;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;
  // O_EXCL refuses any existing name, a link included, and never follows one.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kTemporaryAttempts; ++attempt) {
    temporary = path + ".nimbra-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    *error = Reason();
    return false;
  }
  auto fail = [&]() {
    *error = Reason();
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  };
  if (::fchmod(fd, mode) != 0) return fail();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    done += static_cast<std::size_t>(put);
  }
  if (::fsync(fd) != 0) return fail();
  if (::close(fd) != 0) {
    *error = Reason();
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Reason();
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::string LaunchPath(const std::string& path) {
  if (path.find('\\') != std::string::npos) return path;
  std::string absolute = path;
  if (absolute.empty() || absolute.front() != '/') {
    const std::string folder = CurrentDirectory();
    absolute = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + path;
  }
  std::string windows = "Z:";
  for (char c : absolute) windows += c == '/' ? '\\' : c;
  return windows;
}

char PathSeparator() { return '/'; }

}  // namespace platform
