// The simulators' settings folders on Linux: Steam runs them under Proton,
// in a Wine prefix per game inside the library folder that holds the game,
// with the Windows user "steamuser". Steam's own folder is found where its
// native and Flatpak installs keep it; its `libraryfolders.vdf` names the
// further libraries. The roots in a prefix's `UserCfg.opt` are Windows drive
// paths of that prefix.
#include "platform/simulator_folders.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/ascii_case.h"
#include "platform/file_access.h"
#include "platform/steam_libraries.h"

namespace platform {
namespace {

const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// Where Steam keeps its own folder, most usual first.
std::vector<std::string> SteamFolders() {
  std::vector<std::string> folders;
  const char* home = Variable("HOME");
  if (const char* xdg = Variable("XDG_DATA_HOME")) {
    folders.push_back(std::string(xdg) + "/Steam");
  } else if (home != nullptr) {
    folders.push_back(std::string(home) + "/.local/share/Steam");
  }
  if (home != nullptr) {
    folders.push_back(std::string(home) + "/.steam/steam");
    folders.push_back(std::string(home) + "/.var/app/com.valvesoftware.Steam/.local/share/Steam");
  }
  return folders;
}

// The file's text as far as it reads; a text too large to be a library list
// is refused by its reader.
std::string ReadLibraryList(const std::string& path) {
  std::string text;
  ReadSmallFile(path, kMaxLibraryFoldersBytes, &text);
  return text;
}

// Every library folder once, by where it really is (Steam's folder is often
// reached by two names, and a library may be listed twice); a library that
// does not exist is left out.
std::vector<std::string> SteamLibraries() {
  std::vector<std::string> libraries;
  std::vector<std::string> seen;
  const auto add = [&](const std::string& folder) {
    char resolved[PATH_MAX];
    if (folder.empty() || folder[0] != '/' || ::realpath(folder.c_str(), resolved) == nullptr) return;
    for (const std::string& known : seen) {
      if (known == resolved) return;
    }
    seen.emplace_back(resolved);
    libraries.push_back(folder);
  };
  for (const std::string& steam : SteamFolders()) {
    add(steam);
    for (const std::string& library : SteamLibraryPaths(ReadLibraryList(steam + "/steamapps/libraryfolders.vdf"))) {
      add(library);
    }
  }
  return libraries;
}

// The entry of `folder` named `piece`: itself when it exists, else the first
// that matches without regard to case, else `piece` (which then is missing).
std::string EntryNamed(const std::string& folder, const std::string& piece) {
  struct stat status;
  if (::lstat((folder + "/" + piece).c_str(), &status) == 0) return piece;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, &entries)) return piece;
  for (const FolderEntry& entry : entries) {
    if (EqualNoCase(entry.name, piece)) return entry.name;
  }
  return piece;
}

}  // namespace

std::vector<SimulatorFolder> SimulatorFolders(PathText /*text*/) {
  struct Game {
    int year;
    const char* appId;
    const char* below;  // the settings folder below the user's roaming folder
  };
  static constexpr Game kGames[] = {
      {2024, "2537590", "Microsoft Flight Simulator 2024/"},
      {2020, "1250410", "Microsoft Flight Simulator/"},
  };
  const std::vector<std::string> libraries = SteamLibraries();
  std::vector<SimulatorFolder> folders;
  for (const Game& game : kGames) {
    for (const std::string& library : libraries) {
      const std::string prefix = library + "/steamapps/compatdata/" + game.appId + "/pfx";
      folders.push_back(
          {game.year, "Steam (Proton)", prefix + "/drive_c/users/steamuser/AppData/Roaming/" + game.below, prefix});
    }
  }
  return folders;
}

bool PackageRootForFileCalls(const SimulatorFolder& place, const std::string& root, std::string* path) {
  if (root.empty()) return false;
  const bool drivePath = root.size() >= 3 && ((root[0] >= 'A' && root[0] <= 'Z') || (root[0] >= 'a' && root[0] <= 'z')) &&
                         root[1] == ':' && (root[2] == '\\' || root[2] == '/');
  if (place.winePrefix.empty() || !drivePath) {
    *path = root;
    return true;
  }
  const char drive = static_cast<char>(root[0] | 0x20);
  std::string native =
      place.winePrefix + (drive == 'c' ? std::string("/drive_c") : "/dosdevices/" + std::string(1, drive) + ":");
  // Wine finds a Windows path's folders without regard to case
  // (`C:\Users\steamuser` is `drive_c/users/steamuser`); so does this.
  std::string piece;
  for (std::size_t at = 3; at <= root.size(); ++at) {
    if (at < root.size() && root[at] != '\\' && root[at] != '/') {
      piece += root[at];
      continue;
    }
    if (!piece.empty()) native += "/" + EntryNamed(native, piece);
    piece.clear();
  }
  *path = native;
  return true;
}

}  // namespace platform
