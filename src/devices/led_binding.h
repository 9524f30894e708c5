// One LED position of the unit and the conditions that light it. The binding
// at byte 0, bit 0 is the gate: while its conditions fail, all LEDs stay dark.
#pragma once

#include <cstdint>
#include <memory>

#include "profiles/evaluation.h"

struct LedBinding {
  std::int32_t byteIndex = 0;
  std::int32_t bitIndex = 0;
  std::unique_ptr<ConditionSet> conditions;  // gives its variables back when destroyed
};
