#include "profile_choice.h"

#include <cstdio>

#include "app/aircraft_dir.h"
#include "app/process_state.h"
#include "app/settings.h"
#include "platform/file_access.h"

ProfileChoice ChooseProfile(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName) {
  SetAircraftProfileDir(aircraft != nullptr ? *aircraft : std::string());
  const BridgeSettings settings = ReadSettings(bridgeFolder + kSettingsFileName);
  ProfileChoice choice;
  choice.fileName = unitName + "_Config.json";
  const LocalProfileQuery query{choice.fileName, aircraftProfileDir, bridgeFolder, PackageRoots(settings.packagesPath)};
  choice.keys = AircraftKeys(AircraftFolderOf(aircraftProfileDir));
  choice.packageRoots = query.packageRoots;
  choice.candidates = LocalProfileCandidates(query, false);
  for (const ProfileCandidate& candidate : choice.candidates) {
    if (candidate.found.empty()) continue;
    choice.path = candidate.found;
    choice.local = true;
    return choice;
  }
  choice.path = bridgeFolder + choice.fileName;
  std::FILE* file = platform::OpenFileForReading(choice.path);
  choice.exists = file != nullptr;
  if (file != nullptr) std::fclose(file);
  return choice;
}

std::string BridgeFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
    folder += folder.find('\\') != std::string::npos ? '\\' : '/';
  }
  return folder;
}
