// The simulators' settings folders on Windows, below the user's local and
// roaming application data folders.
#include "platform/simulator_folders.h"

#include "platform/win32/wide_text.h"

#include <shlobj.h>

namespace platform {
namespace {

bool Folder(int csidl, std::string* folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
  *folder = win32::Narrow(buffer) + "\\";
  return true;
}

}  // namespace

std::vector<SimulatorFolder> SimulatorFolders() {
  std::string local;
  std::string roaming;
  const bool haveLocal = Folder(CSIDL_LOCAL_APPDATA, &local);
  const bool haveRoaming = Folder(CSIDL_APPDATA, &roaming);
  std::vector<SimulatorFolder> folders;
  const std::string packages = local + "Packages\\";
  if (haveLocal) {
    folders.push_back({2020, "Microsoft Store", packages + "Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\"});
  }
  if (haveRoaming) folders.push_back({2020, "Steam", roaming + "Microsoft Flight Simulator\\"});
  if (haveLocal) folders.push_back({2020, "boxed", local + "MSFSPackages\\"});
  if (haveLocal) {
    folders.push_back({2024, "Microsoft Store", packages + "Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\"});
  }
  if (haveRoaming) folders.push_back({2024, "Steam", roaming + "Microsoft Flight Simulator 2024\\"});
  if (haveLocal) {
    folders.push_back({2024, "Microsoft Store beta", packages + "Microsoft.LimitlessBeta_8wekyb3d8bbwe\\LocalCache\\"});
  }
  return folders;
}

}  // namespace platform
