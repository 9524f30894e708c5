// Profile bytes as a user's file: loaded, its settings taken, its bindings
// built on the supported unit (variables registered over a connection object
// without a peer), and the LEDs refreshed once from the values at hand.
#include <cstddef>
#include <cstdint>

#include "fuzz_world.h"
#include "profiles/json_loader.h"
#include "profiles/profile_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzworld::ScratchFile file("nimbra-fuzz-profile");
  static simlink::TransportProbe probe;
  HidDevice& unit = fuzzworld::Unit();
  simHandle = probe.handle();
  const std::unique_ptr<rapidjson::Document> profile = DeserializeJson(file.Write(data, size)).document;
  if (profile) {
    ApplyProfileSettings(*profile, unit.languageKey, unit.saveName);
    unit.LoadBindings(*profile);
    simRunning = true;
    unit.RefreshLeds();
    simRunning = false;
    fuzzworld::DropBindings(unit);
  }
  unit.languageKey.clear();
  unit.saveName.clear();
  simHandle = nullptr;
  return 0;
}
