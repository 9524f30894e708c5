// Where the simulators keep their settings (`UserCfg.opt`) and their add-on
// autostart list (`exe.xml`), and the package root a `UserCfg.opt` names.
// The folders depend on the system and on how the simulator was sold:
// Windows' per-user folders, or on Linux the Proton prefix Steam makes for
// each game in each of its library folders, where the root's `C:\` is the
// prefix's own drive. Callers look for the files themselves.
#pragma once

#include <string>
#include <vector>

namespace platform {

inline constexpr char kUserCfgFileName[] = "UserCfg.opt";

// How a folder's text is written on Windows: in the system's narrow code page
// for the bridge's file calls, or in UTF-8 for the tools' wide calls. POSIX
// paths are bytes either way.
enum class PathText { SystemCodePage, Utf8 };

struct SimulatorFolder {
  int year;             // 2020 or 2024
  std::string edition;  // "Steam", "Microsoft Store", ...
  std::string folder;   // with a trailing separator
  std::string winePrefix;  // the Wine prefix the simulator runs in (Proton on Linux); empty: none
};

// Every place a simulator may keep its settings, whether or not it is there:
// 2024 first, then 2020; within a simulator the store edition, then Steam,
// then the rarer ones (on Linux: Steam's library folders in the order its
// `libraryfolders.vdf` gives them, each library once). Places the system
// cannot name are left out.
std::vector<SimulatorFolder> SimulatorFolders(PathText text);

// The package root named by the `InstalledPackagesPath` line of the
// `UserCfg.opt` at `file` (UTF-8 or UTF-16 with byte-order mark; blanks and
// one pair of quotes around the value removed), in UTF-8. False when the file
// does not read, has no such line, the value is empty, or a UTF-16 file holds
// a broken character.
bool ReadInstalledPackagesPath(const std::string& file, std::string* root);

// A root read from the `UserCfg.opt` of `place` as the file calls of the
// bridge take it: on Windows in the system's code page, false when the code
// page cannot hold every character of it (or it is no UTF-8); on Linux a
// drive path of a Wine prefix's simulator turned into that prefix's folder
// (`C:\MSFS` is `<prefix>/drive_c/MSFS`, another drive the prefix's
// `dosdevices` entry), anything else as it is.
bool PackageRootForFileCalls(const SimulatorFolder& place, const std::string& root, std::string* path);

}  // namespace platform
