// The log's file operations on POSIX: plain system calls, each failure a
// false, nothing that can block for long (a log on a slow disk still only
// costs the write of one line).
#include "platform/log_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

// Makes every missing folder above `path`'s last component.
void MakeParentFolders(const std::string& path) {
  for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    ::mkdir(path.substr(0, at).c_str(), 0755);
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string DefaultLogPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string folder;
  if (state != nullptr && state[0] == '/') {
    folder = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.local/state";
  } else {
    return std::string();
  }
  return folder + "/nimbra-bridge/bridge.log";
}

std::string LocalTimeStamp() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  const std::time_t seconds = now.tv_sec;
  ::localtime_r(&seconds, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
  return text;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), kFlags, 0644);
  if (fd < 0 && errno == ENOENT) {
    MakeParentFolders(path);
    fd = ::open(path.c_str(), kFlags, 0644);
  }
  if (fd < 0) return false;
  struct stat status;
  // Only a plain file: a fifo or a device in its place must not hold the bridge up.
  const bool written = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && WriteAll(fd, bytes);
  return ::close(fd) == 0 && written;
}

std::int64_t SizeOfFile(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return -1;
  return static_cast<std::int64_t>(status.st_size);
}

bool MoveOverFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace platform
