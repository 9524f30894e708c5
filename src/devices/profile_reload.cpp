// A device's profile reload: the old bindings go and the LEDs go dark first,
// so a profile that fails to load leaves a dark unit and a box saying why,
// never a mix of old and new bindings.
#include <exception>
#include <string>
#include <vector>

#include "app/process_state.h"
#include "app/report_message.h"
#include "devices/device.h"
#include "platform/module_path.h"
#include "profiles/json_loader.h"
#include "profiles/profile_files.h"

namespace {

// Says once, in a text line, which package roots named by a simulator the
// file calls cannot reach (until the set changes), rather than at every load.
void ReportRefusedRoots(Device& device, const std::vector<std::string>& refused) {
  std::string said;
  for (const std::string& root : refused) said += (said.empty() ? "" : "', '") + root;
  if (said == device.refusedRootsSaid) return;
  device.refusedRootsSaid = said;
  if (said.empty()) return;
  ReportMessage("The simulator's package folder '" + said +
                    "' is not searched for profiles: its name has characters this system's code page cannot hold.",
                "NimbraBridge|PackageRoots", false);
}

// The path of the device's profile, with the choice filled from the bridge's
// state: the loaded aircraft, the executable's folder and the device's
// package setting. `tryLocal` becomes false when the GLOBAL profile is taken.
std::string BuildProfilePath(Device& device, bool& tryLocal) {
  ProfileQuery query;
  query.deviceName = device.name;
  query.aircraftProfileDir = aircraftProfileDir;
  query.bridgeFolder = platform::ModuleDirectory();
  query.tryLocal = tryLocal;
  if (tryLocal) {
    std::vector<std::string> refused;
    query.packageRoots = PackageRoots(device.packagesPath, &refused);
    ReportRefusedRoots(device, refused);
  }
  query.packageIndex = &device.packageIndex;
  const ProfileChoice choice = ChooseProfile(query);
  tryLocal = choice.local;
  return choice.path;
}

}  // namespace

void Device::ReloadJson(bool tryLocal) {
  try {
    ClearBindings();
    AllLedsOff();
    const std::string path = BuildProfilePath(*this, tryLocal);
    const LoadedJson loaded = DeserializeJson(path);
    if (!loaded.document) {
      ReportMessage(loaded.failure.message, kDeserializeJsonCaption, true);
      return;
    }
    const rapidjson::Document& profile = *loaded.document;
    ApplyProfileSettings(profile, languageKey, saveName);
    LoadBindings(profile);
    ReportMessage(name + " reloaded " + std::to_string(BindingCount()) + " binding(s) successfully from " +
                      (tryLocal ? "LOCAL" : "GLOBAL") + " profile '" + saveName + "'.",
                  "NimbraBridge|ReloadJson", false);
  } catch (const std::exception& failure) {
    // Building the box's texts allocates; out of memory, the box is left out
    // rather than let a second exception out of the reload.
    try {
      ReportMessage(failure.what(), "NimbraBridge|ReloadJson", true);
    } catch (...) {
    }
  }
}
