// What the simulator link can watch: the one rule that decides whether a
// condition's reference can be registered, and as which datum. The registry
// registers by it; the profile checker lists variables by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "simlink/simconnect.h"
#include "variables/value_type.h"

struct VariableDatum {
  bool registrable = false;
  std::string whyNot;  // set when not registrable
  std::string name;    // the datum name, blanks included
  std::string unit;    // the unit, leading blanks removed
  SIMCONNECT_DATATYPE type = SIMCONNECT_DATATYPE_INVALID;
};

// True for a reference to an aircraft's local variable ("L:name,unit").
bool IsLocalReference(std::string_view reference);

// "A:name,unit" references of value type Bool (INT32) or Number (FLOAT64)
// are registrable, the prefix removed from the datum name.
// With `localVariables` (a profile that opted in) so are "L:name,unit"
// references of either type, as a FLOAT64 datum whose name keeps the "L:":
// that is how the simulator hands out local variables.
VariableDatum DatumOf(std::string_view reference, ValueType valueType, bool localVariables = false);
