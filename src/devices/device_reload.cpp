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

// The files whose change should reload the device: the one chosen and, when
// the GLOBAL one was taken because no LOCAL file exists, the first LOCAL
// place in the pilot's own folder beside the executable, where a new LOCAL
// file would go.
std::vector<std::string> FilesToWatch(const ProfileChoice& choice, bool localTried) {
  std::vector<std::string> files{choice.path};
  if (choice.local || !localTried) return files;
  for (const ProfileCandidate& candidate : choice.candidates) {
    if (candidate.kind != CandidateKind::OwnFolder) continue;
    files.push_back(candidate.path);
    break;
  }
  return files;
}

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
// The device's watch follows the choice, taken before the file is read, so
// an edit made while it is read is seen at the next look.
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
  if (device.autoReload) device.profileWatch.Watch(FilesToWatch(choice, tryLocal));
  tryLocal = choice.local;
  device.activeProfile = {choice.path, choice.local, false, device.activeProfile.reloads + 1};
  return choice.path;
}

}  // namespace

void Device::AutoReloadCheck() {
  if (!autoReload || !profileWatch.Check()) return;
  LogLine(name + ": the profile changed; reloading");
  ReloadJson(true);
}

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
    activeProfile.loaded = true;
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
