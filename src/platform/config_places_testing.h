// Folders of a test's own in place of the system's configuration places, so
// that a test reads SimConnect.cfg files it wrote and none of the machine's.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/config_places.h"

namespace platform {

// The three folders in kConfigPlaceOrder order (nullopt: the place cannot be
// obtained). Paths are still joined with CombinePath.
using ConfigPlaceFolders = std::array<std::optional<std::string>, 3>;

// Process-wide, until cleared.
void OverrideConfigPlaceFolders(const ConfigPlaceFolders& folders);
void ClearConfigPlaceFoldersOverride();

}  // namespace platform
