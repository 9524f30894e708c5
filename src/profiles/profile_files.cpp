// Profile file names and places. Paths are built as Windows texts; the file
// system boundary of each platform turns them into its own.
#include "profiles/profile_files.h"

std::string ProfileFileName(const std::string& deviceName) { return deviceName + kProfileFileEnding; }

ProfileChoice ChooseProfile(const ProfileQuery& query) {
  ProfileChoice choice;
  const std::string fileName = ProfileFileName(query.deviceName);
  if (query.tryLocal) {
    const LocalProfileQuery local{fileName, query.aircraftProfileDir, query.bridgeFolder, query.packageRoots,
                                  query.packageIndex};
    choice.candidates = LocalProfileCandidates(local, !query.everyCandidate);
    for (const ProfileCandidate& candidate : choice.candidates) {
      if (candidate.found.empty()) continue;
      choice.path = candidate.found;
      choice.local = true;
      return choice;
    }
  }
  choice.path = query.bridgeFolder + fileName;
  return choice;
}

void ApplyProfileSettings(const rapidjson::Value& profile, std::string& languageKey, std::string& saveName) {
  if (!profile.IsObject()) return;
  const auto language = profile.FindMember("Language");
  if (language != profile.MemberEnd() && language->value.IsString()) languageKey = language->value.GetString();
  const auto title = profile.FindMember("SaveName");
  if (title != profile.MemberEnd() && title->value.IsString()) saveName = title->value.GetString();
}

bool LocalVariablesOn(const rapidjson::Value& profile) {
  if (!profile.IsObject()) return false;
  const auto member = profile.FindMember("LocalVariables");
  return member != profile.MemberEnd() && member->value.IsTrue();
}
