// Named markers as lock files. A process that holds a marker keeps the file
// open with a shared lock, so the marker exists exactly while some process
// holds a lock on its file; a file left behind by a crashed process is free
// and counts as absent. The file names are an interface: other programs use
// "/dev/shm/Global.Velk_Throttle_Write.lock" and its siblings.
#include "platform/named_marker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

namespace {

std::string MarkerPath(const std::string& name) {
  struct stat info {};
  const bool shm = ::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode);
  std::string file = name;
  std::replace(file.begin(), file.end(), '\\', '.');
  return (shm ? "/dev/shm/" : "/tmp/") + file + ".lock";
}

// Descriptor 0 is a valid descriptor, so handles are descriptors plus one.
MarkerHandle ToHandle(int fd) { return static_cast<MarkerHandle>(fd) + 1; }
int ToDescriptor(MarkerHandle marker) { return static_cast<int>(marker - 1); }

// A shared lock, waiting up to a second for another process's existence
// probe (which holds the exclusive lock only for an instant) to finish.
bool TakeSharedLock(int fd) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

}  // namespace

MarkerHandle OpenMarkerIfExists(const std::string& name) {
  // Read-write, so that a folder of that name never counts as a marker.
  const int fd = ::open(MarkerPath(name).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return kNoMarker;
  // The exclusive probe succeeds only when nobody holds the marker.
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || !TakeSharedLock(fd)) {
    ::close(fd);
    return kNoMarker;
  }
  return ToHandle(fd);
}

MarkerHandle CreateOrOpenMarker(const std::string& name) {
  const std::string path = MarkerPath(name);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  // Where the system protects files in shared sticky folders, creating-or-
  // opening another user's file is refused even with mode 0666; opening it
  // without O_CREAT is not.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return kNoMarker;
  ::fchmod(fd, 0666);  // past the umask, for other users; fails harmlessly on a foreign file
  if (!TakeSharedLock(fd)) {
    ::close(fd);
    return kNoMarker;
  }
  return ToHandle(fd);
}

void CloseMarker(MarkerHandle marker) {
  if (marker != kNoMarker) ::close(ToDescriptor(marker));
}

}  // namespace platform
