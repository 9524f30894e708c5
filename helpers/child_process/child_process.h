// A program started as a child process with a clean environment: how the
// end-to-end runner, the demo and the flood program start the real bridge
// (and the runner the small tools). It is the one place that says which of
// this process's variables a child must not inherit, so that a developer's
// own SimConnect.cfg, registered ports or unit settings never reach a bridge
// under test.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace child {

struct Launch {
  std::string executable;
  std::vector<std::string> arguments;
  std::string folder;  // the child's current directory
  // Applied after the cleaning: "NAME=value" sets or replaces a variable, a
  // bare "NAME" leaves it out. On POSIX a sanitizer runtime this process has
  // loaded goes first in an LD_PRELOAD set here, as the runtime requires.
  std::vector<std::string> environment;
  std::string outFile;  // standard output; empty: this process's
  std::string errFile;  // standard error; empty: this process's; may equal outFile
};

// The variables no child inherits: where the simulator is (its registered
// ports, the user's Documents with its SimConnect.cfg), the home folder, what
// is preloaded and how virtual_unit and the boxes are set up. A starter that
// wants one sets it in Launch::environment.
const std::vector<std::string>& ClearedVariables();

// This process's environment as the child gets it: the cleared variables
// gone, then `changes` applied ("NAME=value" or a bare "NAME").
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& inherited,
                                          const std::vector<std::string>& changes);

class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False with a reason when it cannot be started.
  bool Start(const Launch& launch, std::string* error);
  // The exit code once it ended (on POSIX a signal counts as 128 + its
  // number); nullopt when it still runs after `limit`.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  void Kill();  // ends it at once
  // Sends the stop signal named "TERM", "INT" or "HUP" (POSIX); false with a
  // reason when there is no such signal here or nothing runs.
  bool Signal(const std::string& name, std::string* error);
  bool Running() const;
  long pid() const;  // -1 when none runs

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace child
