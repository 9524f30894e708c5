// The edit lock as an flock on a lock file. The holder removes the file
// before it lets go, so a waiter may have locked a file that is no longer
// there: it checks that the name still leads to its file, else tries again.
#include "platform/edit_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

class FileLock : public EditLock {
 public:
  FileLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~FileLock() override {
    ::unlink(path_.c_str());
    ::close(fd_);
  }

 private:
  std::string path_;
  int fd_;
};

bool SameFile(int fd, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

namespace detail {

std::unique_ptr<EditLock> TryEditLock(const std::string& lockPath, bool* busy, std::string* error) {
  // Never through a link: the lock file is made where it is named.
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = lockPath + ": " + std::strerror(errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    if (SameFile(fd, lockPath)) return std::make_unique<FileLock>(lockPath, fd);
  } else if (errno != EWOULDBLOCK) {
    *error = lockPath + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  // Held by another, or locked after its holder removed it: try again.
  ::close(fd);
  *busy = true;
  return nullptr;
}

}  // namespace detail

}  // namespace platform
