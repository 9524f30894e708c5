// The real bridge as a child process (of the demo and the flood program):
// started in a folder of its own with virtual_unit preloaded, its standard
// error (the message boxes) going to a file, and waited for with a limit.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace demo {

class BridgeProcess {
 public:
  // Starts `executable` in `folder` with this process's environment changed
  // by `environment`: "NAME=value" replaces or adds a variable, a bare "NAME"
  // leaves it out. Standard output and error go to `errFile`. False with a
  // reason when it cannot be started.
  bool Start(const std::string& executable, const std::string& folder, const std::vector<std::string>& environment,
             const std::string& errFile, std::string* error);
  // The exit code once it ended (a signal counts as 128 + its number);
  // nullopt when it is still running after `limit`.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // Ends it at once (after a failed Wait).
  void Kill();
  bool Running() const { return pid_ > 0; }
  int pid() const { return pid_; }  // -1 once waited for

 private:
  int pid_ = -1;
};

}  // namespace demo
