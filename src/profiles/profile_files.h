// Where a device's profile lies and what its top level sets: the LOCAL
// profile in the aircraft's profile folder, else the GLOBAL one beside the
// executable, each named after the device.
#pragma once

#include <string>

#include <rapidjson/document.h>

// The path of the profile to load for the device `name`. With `tryLocal` the
// first LOCAL candidate that opens is taken (the aircraft's own folder, then
// the pilot's folder beside the executable, then the packages below
// `packagesPath` or below the roots the simulators name); otherwise (or when
// none does) `tryLocal` becomes false and the GLOBAL path comes back,
// whether or not that file exists.
std::string BuildProfilePath(const std::string& name, bool& tryLocal, const std::string& packagesPath);

// Copies the profile's "Language" and "SaveName" strings, when present, over
// the device's settings; any other type counts as absent.
void ApplyProfileSettings(const rapidjson::Value& profile, std::string& languageKey, std::string& saveName);

// Whether the profile opts into local ("L:") variables: only the top-level
// member "LocalVariables" with the value true turns them on; absent, false
// or any other type leaves them off. Unlike "Language" and "SaveName" it
// holds for this profile alone and is never carried over to the next one.
bool LocalVariablesOn(const rapidjson::Value& profile);
