// Which HID interface is the unit: the bridge and nimbra-unit pick it from
// an enumeration by the same rule, so the tool opens what the bridge opens.
#pragma once

#include <hidapi.h>

#include "devices/supported_unit.h"

// The first record of `list` with the pair `unit`, whether or not it can be
// opened (the unit's first HID interface is its LED interface); null when
// none has it.
const hid_device_info* UnitRecord(const hid_device_info* list, UnitIds unit);
