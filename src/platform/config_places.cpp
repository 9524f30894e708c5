// The override of the configuration places in front of the system's folders.
#include "platform/config_places.h"

#include <mutex>

namespace platform {
namespace {

std::mutex overrideLock;
std::optional<ConfigPlaceFolders> overrideFolders;

std::size_t PlaceIndex(ConfigPlace place) {
  switch (place) {
    case ConfigPlace::SharedDocuments: return 0;
    case ConfigPlace::UserDocuments: return 1;
    case ConfigPlace::CurrentDirectory: return 2;
  }
  return 2;
}

}  // namespace

bool ConfigPlaceFolder(ConfigPlace place, std::string* folder) {
  {
    std::lock_guard<std::mutex> lock(overrideLock);
    if (overrideFolders) {
      const std::optional<std::string>& chosen = (*overrideFolders)[PlaceIndex(place)];
      if (!chosen) return false;
      *folder = *chosen;
      return true;
    }
  }
  return detail::SystemConfigPlaceFolder(place, folder);
}

void OverrideConfigPlaceFolders(const ConfigPlaceFolders& folders) {
  std::lock_guard<std::mutex> lock(overrideLock);
  overrideFolders = folders;
}

void ClearConfigPlaceFoldersOverride() {
  std::lock_guard<std::mutex> lock(overrideLock);
  overrideFolders.reset();
}

}  // namespace platform
