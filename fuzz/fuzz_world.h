// What the fuzz targets share besides the link's probe: the supported unit on
// virtual_unit, and a scratch file for the inputs that the code under test
// reads from disk.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/process_state.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "fuzz_support.h"
#include "simlink/transport_probe_testing.h"
#include "variables/variable_registry.h"
#include "virtual_unit.h"

namespace fuzzworld {

// The supported unit, under a name of its own so that its reload markers
// never meet those of a bridge running on the same machine.
inline HidDevice& Unit() {
  static HidDevice* unit = [] {
    virtual_unit::Reset();
    virtual_unit::SetRecording(false);  // millions of runs: keep no record
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
    devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId,
                                                  "Velk_Throttle_Fuzz", kSupportedUnitLedLimits));
    devices.back()->Initialise();
    // The bridge drops its devices before the registry goes at exit; so must
    // a fuzz target, and with no connection left to unregister on.
    std::atexit([] {
      simHandle = nullptr;
      devices.clear();
    });
    return static_cast<HidDevice*>(devices.back().get());
  }();
  return *unit;
}

// Drops the unit's bindings and its gate; then no variable may stay
// registered. The registry starts afresh: identifiers of registrations that
// failed on a lost connection stay taken for good, as they do in the bridge,
// whose connection is gone by then.
inline void DropBindings(HidDevice& unit) {
  unit.ClearBindings();
  unit.gateBinding.reset();
  if (!variableRegistry.entries().empty()) __builtin_trap();
  variableRegistry = VariableRegistry();
}

// A file of this process's own, rewritten with each input.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem)
      : path_(ScratchPath(stem)) {
    SweepDeadScratch();
  }
  ~ScratchFile() { std::remove(path_.c_str()); }

  const std::string& Write(const std::uint8_t* data, std::size_t size) {
    if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
      if (size > 0) std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    return path_;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace fuzzworld
