// The bridge's profile choice for one aircraft, with every LOCAL candidate
// looked at, for `which` and `watch`.
#include "profile_lookup.h"

#include <cstdio>

#include "app/settings.h"
#include "platform/file_access.h"

namespace nimbra_profile {

ProfileLookup LookUpProfile(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName) {
  const BridgeSettings settings = ReadSettings(bridgeFolder + kSettingsFileName);
  ProfileQuery query;
  query.deviceName = unitName;
  query.aircraftProfileDir = AircraftProfileDirOf(aircraft != nullptr ? *aircraft : std::string());
  query.bridgeFolder = bridgeFolder;
  std::vector<std::string> refused;
  query.packageRoots = PackageRoots(settings.packagesPath, &refused);
  query.everyCandidate = true;
  ProfileLookup lookup;
  lookup.refusedRoots = refused;
  static_cast<ProfileChoice&>(lookup) = ChooseProfile(query);
  lookup.fileName = ProfileFileName(unitName);
  lookup.keys = AircraftKeys(AircraftFolderOf(query.aircraftProfileDir));
  lookup.packageRoots = query.packageRoots;
  if (!lookup.local) {
    std::FILE* file = platform::OpenFileForReading(lookup.path);
    lookup.exists = file != nullptr;
    if (file != nullptr) std::fclose(file);
  }
  return lookup;
}

std::string BridgeFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
    folder += folder.find('\\') != std::string::npos ? '\\' : '/';
  }
  return folder;
}

}  // namespace nimbra_profile
