// Each device's two sub-items under the "Corvane" menu entry: one reloads its
// profile, the other switches the announcement of LED changes on and off.
#pragma once

#include <memory>

#include "simlink/simconnect.h"

class Device;

// Adds the device's "Reload Bindings" and show/hide sub-items. 0 or another
// non-negative result on success; 1 when the entry holds no device.
HRESULT AddDeviceMenu(const std::unique_ptr<Device>& entry);

// Replaces the device's show/hide sub-item with one whose text matches its
// showBindings. Same results as AddDeviceMenu.
HRESULT SetShowHideItem(const std::unique_ptr<Device>& entry);

// The first device with the supported unit's type, whose sub-items are 8
// and 9; null when there is none.
const std::unique_ptr<Device>* SupportedDevice();

// The show/hide choice of the supported unit (menu event 9, and the icon's
// "Show Bindings"): inverts its showBindings and renames its sub-item.
void ToggleShowBindings();
