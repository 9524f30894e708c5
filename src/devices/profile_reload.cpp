// A device's profile reload: the old bindings go and the LEDs go dark first,
// so a profile that fails to load leaves a dark unit and a box saying why,
// never a mix of old and new bindings.
#include <exception>
#include <string>

#include "app/report_message.h"
#include "devices/device.h"
#include "profiles/json_loader.h"
#include "profiles/profile_files.h"

void Device::ReloadJson(bool tryLocal) {
  try {
    ClearBindings();
    AllLedsOff();
    const std::string path = BuildProfilePath(name, tryLocal, packagesPath);
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
