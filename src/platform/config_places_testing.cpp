// Setting and clearing the stand-in configuration places.
#include "platform/config_places_testing.h"

#include "platform/config_places_internal.h"

namespace platform {

void OverrideConfigPlaceFolders(const ConfigPlaceFolders& folders) {
  detail::ConfigPlaceFoldersSlot& slot = detail::ConfigPlaceFoldersOverride();
  std::lock_guard<std::mutex> lock(slot.lock);
  slot.folders = folders;
}

void ClearConfigPlaceFoldersOverride() {
  detail::ConfigPlaceFoldersSlot& slot = detail::ConfigPlaceFoldersOverride();
  std::lock_guard<std::mutex> lock(slot.lock);
  slot.folders.reset();
}

}  // namespace platform
