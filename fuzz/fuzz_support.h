// What every fuzz target may use: the check of a property, and scratch
// space in /dev/shm of the process's own, kept tidy across runs.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzworld {

// A property that must hold: the run stops here as a crash when it does not.
inline void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// The process's own scratch path for `stem`: "/dev/shm/STEM.PID".
inline std::string ScratchPath(const std::string& stem) {
  return "/dev/shm/" + stem + "." + std::to_string(::getpid());
}

// Removes the scratch files and trees that fuzz runs which died left in
// /dev/shm: a crash, a timeout or a replayed crash input ends the process
// before the files' destructors run. Each name carries its process id after
// the stem ("nimbra-fuzz-STEM.PID", maybe with a suffix); live ones stay.
inline void SweepDeadScratch() {
  static const bool swept = [] {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("nimbra-fuzz-", 0) != 0) continue;
      std::size_t end = name.find(".nimbra-backup");
      if (end == std::string::npos) end = name.size();
      const std::size_t dot = name.rfind('.', end - 1);
      const long pid = dot == std::string::npos ? 0 : std::strtol(name.c_str() + dot + 1, nullptr, 10);
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        std::filesystem::remove_all(entry.path(), ec);
    }
    return true;
  }();
  (void)swept;
}

}  // namespace fuzzworld
