// Profile file names and places. Paths are built as Windows texts; the file
// system boundary of each platform turns them into its own.
#include "profiles/profile_files.h"

#include <cstdio>

#include "app/process_state.h"
#include "platform/file_access.h"
#include "platform/module_path.h"

std::string BuildProfilePath(const std::string& name, bool& tryLocal) {
  const std::string fileName = name + "_Config.json";
  if (tryLocal) {
    const std::string local = aircraftProfileDir + fileName;
    if (std::FILE* file = platform::OpenFileForReading(local)) {
      std::fclose(file);
      return local;
    }
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
