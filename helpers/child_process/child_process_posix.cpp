// fork and exec: the child only changes folder, redirects and executes, so
// that starting it is safe from a process with threads.
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "child_process.h"

extern char** environ;

namespace child {
namespace {

// The AddressSanitizer runtime this process runs with, if any: a child it
// preloads into must have it first in its preload list.
std::string SanitizerRuntime() {
  std::string found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        const char* name = info->dlpi_name;
        if (name != nullptr && std::strstr(name, "/libasan.so") != nullptr) {
          *static_cast<std::string*>(data) = name;
          return 1;
        }
        return 0;
      },
      &found);
  return found;
}

int OpenOutput(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) *error = "cannot write " + path + ": " + std::strerror(errno);
  return fd;
}

}  // namespace

struct ChildProcess::Impl {
  pid_t pid = -1;
};

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}
ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const Launch& launch, std::string* error) {
  std::vector<std::string> inherited;
  for (char** v = environ; *v != nullptr; ++v) inherited.emplace_back(*v);
  std::vector<std::string> variables = ChildEnvironment(inherited, launch.environment);
  const std::string runtime = SanitizerRuntime();
  for (std::string& v : variables) {
    if (!runtime.empty() && v.rfind("LD_PRELOAD=", 0) == 0 && v.find(runtime) == std::string::npos)
      v = "LD_PRELOAD=" + runtime + " " + v.substr(11);
  }
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = {launch.executable};
  words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int out = -1, err = -1;
  if (!launch.outFile.empty() && (out = OpenOutput(launch.outFile, error)) < 0) return false;
  if (!launch.errFile.empty()) {
    err = launch.errFile == launch.outFile ? ::dup(out) : OpenOutput(launch.errFile, error);
    if (err < 0) {
      if (out >= 0) ::close(out);
      return false;
    }
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    if ((!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0) || (out >= 0 && ::dup2(out, 1) < 0) ||
        (err >= 0 && ::dup2(err, 2) < 0))
      ::_exit(126);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  const int forkError = errno;
  if (out >= 0) ::close(out);
  if (err >= 0) ::close(err);
  if (pid < 0) {
    *error = "cannot start " + launch.executable + ": " + std::strerror(forkError);
    return false;
  }
  impl_->pid = pid;
  return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (impl_->pid > 0) {
    int status = 0;
    const pid_t done = ::waitpid(impl_->pid, &status, WNOHANG);
    if (done == impl_->pid) {
      impl_->pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return std::nullopt;
}

void ChildProcess::Kill() {
  if (impl_->pid <= 0) return;
  ::kill(impl_->pid, SIGKILL);
  int status = 0;
  ::waitpid(impl_->pid, &status, 0);
  impl_->pid = -1;
}

bool ChildProcess::Signal(const std::string& name, std::string* error) {
  const int number = name == "TERM" ? SIGTERM : name == "INT" ? SIGINT : name == "HUP" ? SIGHUP : 0;
  if (number == 0) {
    *error = "no signal " + name;
    return false;
  }
  if (impl_->pid <= 0 || ::kill(impl_->pid, number) != 0) {
    *error = "cannot send SIG" + name + ": " + (impl_->pid <= 0 ? std::string("nothing runs") : std::strerror(errno));
    return false;
  }
  return true;
}

bool ChildProcess::Running() const { return impl_->pid > 0; }
long ChildProcess::pid() const { return impl_->pid; }

}  // namespace child
