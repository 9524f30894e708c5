// The value type codes a condition's units select, kept at the variables'
// level: the registry stores a value by its type and the datum rule turns
// the type into a datum type, without either knowing about conditions.
#pragma once

#include <cstdint>

enum class ValueType : std::int32_t {
  Bool = 1,
  Number = 2,
  Char = 3,
  String = 4,
};
