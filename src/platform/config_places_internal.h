// The slot through which the testing library puts folders of its own in place
// of the system's configuration places. Only config_places.cpp and that
// library include it.
#pragma once

#include <mutex>
#include <optional>

#include "platform/config_places_testing.h"

namespace platform::detail {

struct ConfigPlaceFoldersSlot {
  std::mutex lock;
  std::optional<ConfigPlaceFolders> folders;  // empty: the system's places
};

ConfigPlaceFoldersSlot& ConfigPlaceFoldersOverride();

}  // namespace platform::detail
