// The folders where each edition of the simulator keeps its settings file
// UserCfg.opt and its add-on autostart list exe.xml. Where these lie depends
// on the system (Windows' per-user folders, or a Proton prefix on Linux), so
// the autostart tool asks here and looks for the files itself.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct SimulatorFolder {
  int year;             // 2020 or 2024
  std::string edition;  // "Steam", "Microsoft Store", ...
  std::string folder;   // UTF-8, with a trailing separator
};

// Every place a simulator may keep its settings, 2020 first; places the
// system cannot name are left out. A simulator is installed in a place when
// UserCfg.opt is there.
std::vector<SimulatorFolder> SimulatorFolders();

}  // namespace platform
