// The simulators' settings folders on Windows, below the user's local and
// roaming application data folders, for every way the simulators are sold;
// and the package roots they name (UTF-8) in the code page of the bridge's
// narrow file calls.
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
    if (ShellFolder(place.csidl, text, &base)) folders.push_back({place.year, place.edition, base + place.below, std::string()});
  }
  return folders;
}

bool PackageRootForFileCalls(const SimulatorFolder& /*place*/, const std::string& root, std::string* path) {
  if (root.empty()) return false;
  const int size = static_cast<int>(root.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, root.data(), size, nullptr, 0);
  if (wideLength <= 0) return false;
  if (GetACP() == CP_UTF8) {
    *path = root;
    return true;
  }
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, root.data(), size, wide.data(), wideLength);
  // No best fit: a character the code page lacks must refuse the root, not
  // turn into a look-alike that names another folder.
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return false;
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, text.data(), length, nullptr, &lossy);
  if (lossy) return false;
  *path = text;
  return true;
}

}  // namespace platform
