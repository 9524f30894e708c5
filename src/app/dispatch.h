// The one place where the bridge reacts to the simulator.
#pragma once

#include <memory>

#include "simlink/simconnect.h"

class Device;

void DispatchCallback(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// The first device with the supported unit's type, whose sub-items are 8
// and 9; null when there is none.
const std::unique_ptr<Device>* SupportedDevice();

// The show/hide choice of the supported unit (menu event 9, and the icon's
// "Show Bindings"): inverts its showBindings and renames its sub-item.
void ToggleShowBindings();
