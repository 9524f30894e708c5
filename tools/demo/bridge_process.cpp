// fork and exec: the child only changes folder, redirects and executes, so
// that it is safe in a process with threads.
#include "bridge_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace demo {

bool BridgeProcess::Start(const std::string& executable, const std::string& folder,
                          const std::vector<std::string>& environment, const std::string& errFile, std::string* error) {
  // The first of two equal names would win, so a changed variable's own goes.
  auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) {
    const std::string inherited = *v;
    const bool changed = std::any_of(environment.begin(), environment.end(),
                                     [&](const std::string& entry) { return name(entry) == name(inherited); });
    if (!changed) variables.push_back(inherited);
  }
  for (const std::string& entry : environment) {
    if (entry.find('=') != std::string::npos) variables.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string program = executable;
  char* argv[] = {program.data(), nullptr};

  const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (err < 0) {
    *error = "cannot write " + errFile + ": " + std::strerror(errno);
    return false;
  }
  const int pid = ::fork();
  if (pid < 0) {
    *error = std::string("cannot start the bridge: ") + std::strerror(errno);
    ::close(err);
    return false;
  }
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0 || ::dup2(err, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(127);
  }
  ::close(err);
  pid_ = pid;
  return true;
}

std::optional<int> BridgeProcess::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0) {
    int status = 0;
    const int done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

void BridgeProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace demo
