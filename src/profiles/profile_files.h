// Where a device's profile lies and what its top level sets: the LOCAL
// profile in the aircraft's profile folder, else the GLOBAL one beside the
// executable, each named after the device.
#pragma once

#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "profiles/local_profile.h"

// A device's profile file name: the device's name and this ending.
inline constexpr char kProfileFileEnding[] = "_Config.json";
std::string ProfileFileName(const std::string& deviceName);

// Everything the choice of a profile depends on, as values: the bridge fills
// it from its own state, the tools from their arguments.
struct ProfileQuery {
  std::string deviceName;
  std::string aircraftProfileDir;         // the aircraft's own profile folder, possibly empty
  std::string bridgeFolder;               // the executable's folder with its separator, or empty
  std::vector<std::string> packageRoots;  // the simulator's package roots, in order
  PackageIndex* packageIndex = nullptr;   // the caller's index of those packages; null: listed afresh
  bool tryLocal = true;                   // false: the GLOBAL profile, whatever LOCAL files exist
  bool everyCandidate = false;            // look at every LOCAL place (a report), not only up to the first found
};

struct ProfileChoice {
  std::string path;                          // the file to load
  bool local = false;                        // LOCAL, else GLOBAL
  std::vector<ProfileCandidate> candidates;  // the LOCAL places looked at, in order
};

// The first LOCAL candidate that opens (the aircraft's own folder, then the
// pilot's folder beside the executable, then the packages), else the GLOBAL
// path beside the executable, whether or not that file exists.
ProfileChoice ChooseProfile(const ProfileQuery& query);

// Copies the profile's "Language" and "SaveName" strings, when present, over
// the device's settings; any other type counts as absent.
void ApplyProfileSettings(const rapidjson::Value& profile, std::string& languageKey, std::string& saveName);

// Whether the profile opts into local ("L:") variables: only the top-level
// member "LocalVariables" with the value true turns them on; absent, false
// or any other type leaves them off. Unlike "Language" and "SaveName" it
// holds for this profile alone and is never carried over to the next one.
bool LocalVariablesOn(const rapidjson::Value& profile);
