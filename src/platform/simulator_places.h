// Where the simulators keep their settings (`UserCfg.opt`, `exe.xml`) on this
// machine, and the package root a `UserCfg.opt` names. The folders depend on
// how the simulator was installed, so each platform says which of them exist;
// on POSIX there are none (the simulator runs in a Wine prefix the bridge
// cannot know, so the pilot names the package folder in the settings file).
#pragma once

#include <string>
#include <vector>

namespace platform {

inline constexpr char kUserCfgFileName[] = "UserCfg.opt";

// One settings folder of an installed simulator.
struct SimulatorFolder {
  int simulator = 0;   // 2020 or 2024
  std::string folder;  // ends with a separator
};

// The settings folders that exist, 2024 first, then 2020; within a
// simulator the store edition first, then Steam, then the rarer editions.
std::vector<SimulatorFolder> FindSimulatorFolders();

// The package root named by the `InstalledPackagesPath` line of the
// `UserCfg.opt` at `file` (UTF-8 or UTF-16 with byte-order mark; blanks and
// one pair of quotes around the value removed). False when the file does not
// read, has no such line, or the value is empty or not plain ASCII in a
// UTF-16 file.
bool ReadInstalledPackagesPath(const std::string& file, std::string* root);

}  // namespace platform
