// Named markers as lock files. A process that holds a marker keeps the file
// open with a shared lock, so the marker exists exactly while some process
// holds a shared lock on its file; a file left behind by a crashed process is
// free and counts as absent. The file names are an interface: other programs
// use "/dev/shm/Global.Velk_Throttle_Write.lock" and its siblings.
//
// Looking for a marker needs a moment's exclusive lock (the only way to see
// shared locks), and two lookers would take each other's for a holder. So a
// looker first takes the probe guard, a record lock on the file's first byte
// that only lookers take and that does not interact with the holders' flock
// locks. Under the guard an exclusive lock on the file can only be a foreign
// one, which excludes holders too: the marker is absent then, and nothing
// waits for it. A creator takes the guard too, shared with other creators:
// under it a holder's shared lock can be refused only by a foreign exclusive
// lock, and then the marker cannot be held, so creation gives up at once
// instead of waiting for a lock that may never go.
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

using Clock = std::chrono::steady_clock;

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

// Polls `attempt` every millisecond until it succeeds or `budget` has passed.
template <typename Attempt>
bool Within(std::chrono::milliseconds budget, Attempt attempt) {
  const Clock::time_point end = Clock::now() + budget;
  for (;;) {
    if (attempt()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Another looker or creator holds the guard for a few system calls. The
// bridge calls markers on its one thread, between LED refreshes, so no call
// may wait much longer than this.
constexpr std::chrono::milliseconds kGuardBudget{50};

bool SetProbeGuard(int fd, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

// True when the file `fd` is locked shared by some holder, and then `fd`
// holds a shared lock too. Meant to run under the probe guard.
bool JoinHolders(int fd) {
  // The exclusive probe succeeds only when nobody holds the marker; it goes
  // before the guard does, so the next looker never meets it.
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    ::flock(fd, LOCK_UN);
    return false;
  }
  // Under the guard no other looker holds an exclusive lock now, so a shared
  // lock fails only under a foreign exclusive lock, which no holder can share.
  return ::flock(fd, LOCK_SH | LOCK_NB) == 0;
}

}  // namespace

MarkerHandle OpenMarkerIfExists(const std::string& name) {
  // Read-write, so that a folder of that name never counts as a marker.
  const int fd = ::open(MarkerPath(name).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return kNoMarker;
  // A guard that stays taken belongs to a looker the system has paused (or
  // to a stranger): look without it rather than stall the caller. Only that
  // paused looker's exclusive lock, dropped exactly between the two probes,
  // could then pass for a holder.
  const bool guarded = Within(kGuardBudget, [fd] { return SetProbeGuard(fd, F_WRLCK); });
  const bool held = JoinHolders(fd);
  if (guarded) SetProbeGuard(fd, F_UNLCK);
  if (!held) {
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
  bool guarded = false;
  bool held = false;
  Within(kGuardBudget, [fd, &guarded, &held] {
    guarded = guarded || SetProbeGuard(fd, F_RDLCK);
    held = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    // Under the guard a refusal is a foreign exclusive lock, and final.
    // Without it (a paused looker keeps it) the refusal may be that looker's
    // short probe: try again while the budget lasts.
    return held || guarded;
  });
  if (guarded) SetProbeGuard(fd, F_UNLCK);
  if (!held) {
    ::close(fd);
    return kNoMarker;
  }
  return ToHandle(fd);
}

void CloseMarker(MarkerHandle marker) {
  if (marker != kNoMarker) ::close(ToDescriptor(marker));
}

}  // namespace platform
