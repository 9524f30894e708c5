// The sub-items are identified by the device's type identifier plus 1
// (reload) and plus 2 (show/hide); the show/hide item is renamed by deleting
// and adding it again under the same identifier.
#include "app/menu.h"

#include <string>

#include "app/process_state.h"
#include "devices/device.h"
#include "devices/supported_unit.h"

HRESULT AddDeviceMenu(const std::unique_ptr<Device>& entry) {
  if (!entry) return 1;
  const std::string text = entry->name + " - " + "Reload Bindings";
  const HRESULT result = SimConnect_MenuAddSubItem(simHandle, kMenuTopEventId, text.c_str(),
                                                   ReloadItemId(entry->typeId), 0);
  if (result < 0) return result;
  return SetShowHideItem(entry);
}

HRESULT SetShowHideItem(const std::unique_ptr<Device>& entry) {
  if (!entry) return 1;
  const DWORD itemId = ShowHideItemId(entry->typeId);
  // At start-up there is no such item yet; the delete is made all the same.
  SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, itemId);
  const std::string text = entry->name + " - " + (entry->showBindings ? "Hide Bindings" : "Show Bindings");
  return SimConnect_MenuAddSubItem(simHandle, kMenuTopEventId, text.c_str(), itemId, 0);
}

const std::unique_ptr<Device>* SupportedDevice() {
  for (const auto& device : devices) {
    if (device && device->typeId == kSupportedUnitTypeId) return &device;
  }
  return nullptr;
}

void ToggleShowBindings() {
  if (const auto* device = SupportedDevice()) {
    (*device)->showBindings = !(*device)->showBindings;
    SetShowHideItem(*device);
  }
}
