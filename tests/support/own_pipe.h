// Simulator endpoints of a test's own, so that test runs on one machine never
// meet: a pipe name that nobody else uses, the SimConnect.cfg that points the
// code under test at it as a user would, and the machine-wide lock for the
// few tests that prove the simulator's default pipe.
//
// Failures throw std::runtime_error: a test reports it with its text, and the
// benchmarks, which have no test framework, use these too.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "config_places.h"
#include "link_session.h"
#include "sim_host.h"

namespace testsupport {

// "nimbra-test-<pid>-<n>-<random>": unique per process and call. The random
// part also mixes in the clock, in case the random device is not random.
inline std::string UniquePipeName() {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  std::random_device random;
  const auto ticks = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  return "nimbra-test-" + std::to_string(pid) + "-" + std::to_string(counter++) + "-" +
         std::to_string(random() ^ ticks);
}

// A pipe of this test's own: configuration places of its own whose current
// place holds a SimConnect.cfg naming the pipe, so that SimConnect_Open with
// configuration index 0 reaches a simhost started with HostOptions(). The
// places are put back when it goes.
class OwnPipe {
 public:
  OwnPipe() : places_("nimbra_pipe_", RegisteredPorts::ClearUnlessShared), name_(UniquePipeName()) {
    places_.Write(kCurrent, "[SimConnect]\nProtocol=Pipe\nPort=" + name_ + "\n");
  }
  OwnPipe(const OwnPipe&) = delete;
  OwnPipe& operator=(const OwnPipe&) = delete;

  const std::string& name() const { return name_; }

  // QuietHost() listening on this pipe only.
  simhost::Options HostOptions() const {
    simhost::Options options = QuietHost();
    options.pipeName = name_;
    return options;
  }

  ConfigPlaces& places() { return places_; }

  // For the tests of an open that fails: a SimConnect.cfg that nothing
  // answers (port 0) and after which the link tries nothing else (an address
  // other than the loopback literals ends the order), so that the open cannot
  // reach whatever happens to listen on the default pipe.
  void PointAtNothing() { places_.Write(kCurrent, "[SimConnect]\nProtocol=IPv4\nAddress=localhost\nPort=0\n"); }

 private:
  ConfigPlaces places_;
  std::string name_;
};

// A lock shared by every test run on this machine, held for as long as the
// object lives: a flock(2) on a file in /tmp, or a named mutex (which is the
// wine prefix's under wine). It waits up to `patience` for another run to
// let go, and throws when it does not.
class MachineLock {
 public:
  MachineLock(const std::string& name, std::chrono::seconds patience) : name_(name) {
    const auto end = std::chrono::steady_clock::now() + patience;
#ifdef _WIN32
    mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex_ == nullptr) Fail("cannot create the mutex " + name, GetLastError());
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    const DWORD result = WaitForSingleObject(mutex_, static_cast<DWORD>(wait.count()));
    const DWORD error = GetLastError();
    // An abandoned mutex: its holder ended without releasing it; it is ours now.
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return;
    CloseHandle(mutex_);
    if (result == WAIT_TIMEOUT) TimedOut(patience);
    Fail("cannot wait for the mutex " + name, error);
#else
    fd_ = OpenLockFile();
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
      const int error = errno;
      if (error != EWOULDBLOCK && error != EINTR) {
        close(fd_);
        Fail("cannot lock " + name, error);
      }
      if (std::chrono::steady_clock::now() > end) {
        close(fd_);
        TimedOut(patience);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
#endif
  }

  ~MachineLock() {
#ifdef _WIN32
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
#else
    close(fd_);  // releases the lock
#endif
  }

  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;

 private:
  [[noreturn]] static void Fail(const std::string& what, unsigned long error) {
    throw std::runtime_error(what + " (error " + std::to_string(error) + ")");
  }
  [[noreturn]] void TimedOut(std::chrono::seconds patience) const {
    throw std::runtime_error("another test run kept " + name_ + " for " + std::to_string(patience.count()) + " s");
  }

  std::string name_;
#ifdef _WIN32
  HANDLE mutex_ = nullptr;
#else
  // The file stays for every user of the machine: created readable and
  // writable by all, and opened for reading when it belongs to someone else.
  int OpenLockFile() const {
    const char* path = name_.c_str();
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) fchmod(fd, 0666);  // whatever the umask
      else if (errno == EEXIST) fd = open(path, O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("cannot open " + name_, static_cast<unsigned long>(errno));
    return fd;
  }

  int fd_ = -1;
#endif
};

// Held by each test that uses the default pipe, for the whole test: no two
// test runs on this machine use that pipe at the same time (the ctest
// resource lock "simulator_pipe" only orders the tests of one run).
// A simulator stand-in outside the tests (a demo, a simhost started by hand)
// takes no lock; Start() and WaitUntilFree() wait for it to go.
class DefaultPipeLock : public MachineLock {
 public:
#ifdef _WIN32
  static constexpr const char* kLockName = "nimbra-default-pipe";  // a named mutex
#else
  static constexpr const char* kLockName = "/tmp/nimbra-default-pipe.lock";
#endif

  explicit DefaultPipeLock(std::chrono::seconds patience = std::chrono::seconds(150))
      : MachineLock(kLockName, patience) {}

  // Starts `host`, whose options name the default pipe, trying again while
  // another process still listens there.
  void Start(simhost::SimHost& host, std::chrono::seconds patience = std::chrono::seconds(60)) const {
    const auto end = std::chrono::steady_clock::now() + patience;
    for (;;) {
      try {
        host.Start();
        return;
      } catch (const std::system_error& e) {
        if (std::chrono::steady_clock::now() > end) {
          throw std::runtime_error(std::string(e.what()) + ": the default pipe stayed taken by another process for " +
                                   std::to_string(patience.count()) + " s");
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  }

  // Returns once nothing listens on the default pipe, for tests whose opens
  // must find it empty: it is bound for a moment and let go again.
  void WaitUntilFree(std::chrono::seconds patience = std::chrono::seconds(60)) const {
    simhost::Options options;
    options.pipe = true;
    simhost::SimHost probe(options);
    Start(probe, patience);
    probe.Stop();
  }
};

// Held by whatever drives the machine's reload markers (their names are the
// machine's, or the wine prefix's): one test run at a time.
class MarkersLock : public MachineLock {
 public:
#ifdef _WIN32
  static constexpr const char* kLockName = "nimbra-markers";
#else
  static constexpr const char* kLockName = "/tmp/nimbra-markers.lock";
#endif
  explicit MarkersLock(std::chrono::seconds patience = std::chrono::seconds(150)) : MachineLock(kLockName, patience) {}
};

}  // namespace testsupport
