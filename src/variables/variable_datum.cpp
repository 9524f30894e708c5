// The rule of registrable references, kept apart from the registry so that
// the checker can apply it without a simulator.
#include "variables/variable_datum.h"

#include "variables/value_type.h"

bool IsLocalReference(std::string_view reference) { return reference.substr(0, 2) == "L:"; }

VariableDatum DatumOf(std::string_view reference, ValueType valueType, bool localVariables) {
  VariableDatum datum;
  const bool local = IsLocalReference(reference);
  if (local && !localVariables) {
    datum.whyNot = "begins with \"L:\", which needs \"LocalVariables\": true in the profile";
    return datum;
  }
  if (!local && reference.substr(0, 2) != "A:") {
    datum.whyNot = "does not begin with \"A:\"";
    return datum;
  }
  const std::size_t comma = reference.find(',', 2);
  if (comma == std::string_view::npos) {
    datum.whyNot = "has no ',' before its unit";
    return datum;
  }
  if (local && comma == 2) {
    datum.whyNot = "has no name after \"L:\"";
    return datum;
  }
  if (valueType == ValueType::Bool) {
    datum.type = local ? SIMCONNECT_DATATYPE_FLOAT64 : SIMCONNECT_DATATYPE_INT32;
  } else if (valueType == ValueType::Number) {
    datum.type = SIMCONNECT_DATATYPE_FLOAT64;
  } else {
    datum.whyNot = "is neither Bool nor Number";
    return datum;
  }
  // A local variable's name may itself hold ':', so it is passed on whole.
  datum.name = std::string(local ? reference.substr(0, comma) : reference.substr(2, comma - 2));
  datum.unit = std::string(reference.substr(comma + 1));
  datum.unit.erase(0, datum.unit.find_first_not_of(' '));  // npos: all blanks go
  datum.registrable = true;
  return datum;
}
