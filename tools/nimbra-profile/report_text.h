// Shared wording of the checker's two outputs: how a condition, an operator,
// a value type and an unregistrable variable read.
#pragma once

#include <string>

#include "profile_check.h"

const char* OperatorText(ComparisonOp op);
const char* ValueTypeName(ValueType type);
// The expected value as the condition holds it.
std::string ExpectedText(const Condition& condition);
// "Condition" or "Conditions[N]".
std::string SourceText(const PairSource& source);
const char* DatumTypeName(const VariableDatum& datum);

// The checker's text report of one file.
std::string TextReport(const ProfileCheck& check, const LedLimits& limits);
// The same as one JSON object.
std::string JsonReport(const ProfileCheck& check, const LedLimits& limits);

// What `which` prints for `aircraft` (null: no aircraft reported yet), the
// bridge lying in `bridgeFolder` (with its trailing separator) and the unit
// `unitName`: keys, every LOCAL candidate found or absent, and the choice.
std::string WhichReport(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName);
