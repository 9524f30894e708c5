// One LED position of the unit and the conditions that light it. The binding
// at byte 0, bit 0 is the gate: while its conditions fail, all LEDs stay dark.
// A blinking binding's bit follows its set and the device's blink phase.
#pragma once

#include <cstdint>
#include <memory>

#include "profiles/evaluation.h"

struct LedBinding {
  std::int32_t byteIndex = 0;
  std::int32_t bitIndex = 0;
  std::unique_ptr<ConditionSet> conditions;  // gives its variables back when destroyed
  std::uint8_t blinkHalfPeriod = 0;          // refreshes lit, then as many dark; 0: steady
  bool setHeld = false;                      // a blinking binding's set held at the last refresh
};
