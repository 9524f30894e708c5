// The configuration places: the system's folders, unless the testing library
// has put folders of its own in their place.
#include "platform/config_places.h"

#include "platform/config_places_internal.h"

namespace platform {
namespace {

std::size_t PlaceIndex(ConfigPlace place) {
  switch (place) {
    case ConfigPlace::SharedDocuments: return 0;
    case ConfigPlace::UserDocuments: return 1;
    case ConfigPlace::CurrentDirectory: return 2;
  }
  return 2;
}

}  // namespace

namespace detail {

ConfigPlaceFoldersSlot& ConfigPlaceFoldersOverride() {
  static ConfigPlaceFoldersSlot slot;
  return slot;
}

}  // namespace detail

bool ConfigPlaceFolder(ConfigPlace place, std::string* folder) {
  {
    detail::ConfigPlaceFoldersSlot& slot = detail::ConfigPlaceFoldersOverride();
    std::lock_guard<std::mutex> lock(slot.lock);
    if (slot.folders) {
      const std::optional<std::string>& chosen = (*slot.folders)[PlaceIndex(place)];
      if (!chosen) return false;
      *folder = *chosen;
      return true;
    }
  }
  return detail::SystemConfigPlaceFolder(place, folder);
}

}  // namespace platform
