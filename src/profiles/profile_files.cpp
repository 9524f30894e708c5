// Profile file names and places. Paths are built as Windows texts; the file
// system boundary of each platform turns them into its own.
#include "profiles/profile_files.h"


#include "app/process_state.h"
#include "platform/module_path.h"
#include "profiles/local_profile.h"

std::string BuildProfilePath(const std::string& name, bool& tryLocal, const std::string& packagesPath) {
  const std::string fileName = name + "_Config.json";
  if (tryLocal) {
    const LocalProfileQuery query{fileName, aircraftProfileDir, platform::ModuleDirectory(), PackageRoots(packagesPath)};
    const std::vector<ProfileCandidate> candidates = LocalProfileCandidates(query, true);
    if (!candidates.back().found.empty()) return candidates.back().found;
  }
  tryLocal = false;
  return platform::ModuleDirectory() + fileName;
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
