// Steam's list of its library folders, `steamapps/libraryfolders.vdf`, in
// Valve's text key-value format (quoted keys and values, nested `{ }`
// blocks). On Linux the simulators run under Proton in a prefix inside the
// library that holds the game, so finding their settings starts here.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Far more than any real list; a larger file is not one and is not read.
inline constexpr std::size_t kMaxLibraryFoldersBytes = 1 << 20;

// The library paths the file's text names, in its order: every "path" value
// (the current layout, one block per library), and the values of numbered
// keys directly in the top block (the older layout). A broken text gives
// the paths read before the break.
std::vector<std::string> SteamLibraryPaths(const std::string& vdf);

}  // namespace platform
