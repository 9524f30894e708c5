// The words the checker's outputs (text, JSON and the live view) share for
// the parts of a condition, an operator, a value type, where a pair came
// from and a datum's type, so that the three never word a thing differently.
#pragma once

#include <string>

#include "profiles/condition.h"
#include "profiles/load_observer.h"
#include "variables/variable_datum.h"

namespace nimbra_profile {

const char* OperatorText(ComparisonOp op);
const char* ValueTypeName(ValueType type);
// The expected value as the condition holds it.
std::string ExpectedText(const Condition& condition);
// "Condition" or "Conditions[N]".
std::string SourceText(const PairSource& source);
const char* DatumTypeName(const VariableDatum& datum);

}  // namespace nimbra_profile
