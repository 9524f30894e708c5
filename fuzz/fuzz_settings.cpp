// The pilot's settings file: arbitrary bytes as Nimbra_Bridge.ini, read with
// the INI reader and turned into the bridge's settings. Whatever the file
// holds, the unit's pair is a real USB pair, and a file with a problem never
// moves the bridge off the default pair.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/settings.h"
#include "fuzz_support.h"
#include "fuzz_world.h"

namespace {

using fuzzworld::Require;

bool IsUsbId(std::int32_t id) { return id >= 1 && id <= 0xFFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzworld::ScratchFile file("nimbra-fuzz-Nimbra_Bridge.ini");
  const std::string& path = file.Write(data, size);

  const BridgeSettings settings = ReadSettings(path);
  Require(IsUsbId(settings.unit.vendorId) && IsUsbId(settings.unit.productId));
  if (!settings.problem.empty()) {
    Require(settings.unit == kDefaultUnitIds);
    Require(settings.problem.compare(0, path.size(), path) == 0);
  }
  // A value never comes back longer than the reader's buffer or with a line end in it.
  Require(settings.packagesPath.size() < 1024);
  Require(settings.packagesPath.find('\n') == std::string::npos);

  // The identifier rule on the raw text: accepted means a USB identifier.
  std::int32_t id = 0;
  if (ParseUsbId(std::string(reinterpret_cast<const char*>(data), size), id)) Require(IsUsbId(id));
  return 0;
}
