// The simulators' settings folders on Windows, below the user's local and
// roaming application data folders, for every way the simulators are sold.
#include "platform/simulator_folders.h"

#include "platform/win32/wide_text.h"

#include <shlobj.h>

namespace platform {
namespace {

bool ShellFolder(int csidl, PathText text, std::string* folder) {
  if (text == PathText::Utf8) {
    wchar_t buffer[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
    *folder = win32::Narrow(buffer);
  } else {
    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
    *folder = buffer;
  }
  if (folder->empty()) return false;
  if (folder->back() != '\\') *folder += '\\';
  return true;
}

}  // namespace

std::vector<SimulatorFolder> SimulatorFolders(PathText text) {
  struct Place {
    int year;
    const char* edition;
    int csidl;
    const char* below;
  };
  static constexpr Place kPlaces[] = {
      {2024, "Microsoft Store", CSIDL_LOCAL_APPDATA, "Packages\\Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\"},
      {2024, "Steam", CSIDL_APPDATA, "Microsoft Flight Simulator 2024\\"},
      {2024, "Microsoft Store beta", CSIDL_LOCAL_APPDATA,
       "Packages\\Microsoft.LimitlessBeta_8wekyb3d8bbwe\\LocalCache\\"},
      {2020, "Microsoft Store", CSIDL_LOCAL_APPDATA,
       "Packages\\Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\"},
      {2020, "Steam", CSIDL_APPDATA, "Microsoft Flight Simulator\\"},
      {2020, "boxed", CSIDL_LOCAL_APPDATA, "MSFSPackages\\"},
  };
  std::vector<SimulatorFolder> folders;
  for (const Place& place : kPlaces) {
    std::string base;
    if (ShellFolder(place.csidl, text, &base)) folders.push_back({place.year, place.edition, base + place.below});
  }
  return folders;
}

}  // namespace platform
