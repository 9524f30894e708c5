// The simulators' settings folders on Windows, below the user's local and
// roaming application data folders, for every way the simulators are sold.
#include "platform/simulator_places.h"

#include <shlobj.h>
#include <windows.h>

namespace platform {
namespace {

bool ShellFolder(int csidl, std::string* folder) {
  char buffer[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
  *folder = buffer;
  if (folder->empty()) return false;
  if (folder->back() != '\\') *folder += '\\';
  return true;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::vector<SimulatorFolder> FindSimulatorFolders() {
  struct Place {
    int simulator;
    int csidl;
    const char* below;
  };
  static constexpr Place kPlaces[] = {
      {2024, CSIDL_LOCAL_APPDATA, "Packages\\Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\"},
      {2024, CSIDL_APPDATA, "Microsoft Flight Simulator 2024\\"},
      {2024, CSIDL_LOCAL_APPDATA, "Packages\\Microsoft.LimitlessBeta_8wekyb3d8bbwe\\LocalCache\\"},
      {2020, CSIDL_LOCAL_APPDATA, "Packages\\Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\"},
      {2020, CSIDL_APPDATA, "Microsoft Flight Simulator\\"},
      {2020, CSIDL_LOCAL_APPDATA, "MSFSPackages\\"},
  };
  std::vector<SimulatorFolder> found;
  for (const Place& place : kPlaces) {
    std::string base;
    if (!ShellFolder(place.csidl, &base)) continue;
    const std::string folder = base + place.below;
    if (IsFolder(folder)) found.push_back({place.simulator, folder});
  }
  return found;
}

}  // namespace platform
