// One comparison of a simulation variable with an expected value: a plain
// record, copied freely.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "variables/value_type.h"

enum class ComparisonOp : std::int32_t {
  Equal = 1,
  NotEqual = 2,
  Greater = 3,
  GreaterOrEqual = 4,
  Less = 5,
  LessOrEqual = 6,
};

struct Condition {
  std::string reference;  // registry key; blanks removed unless it begins with "A:"
  ComparisonOp op = ComparisonOp::Equal;
  ValueType valueType = ValueType::Number;
  std::int32_t expectedInt = 0;
  double expectedNumber = 0.0;
  std::string expectedText;
};

// Removes the operator from the front of `value` and returns it.
ComparisonOp ParseComparison(std::string& value);

// Turns a reference and a value text into a condition, or nothing; then
// `whyNot`, when given, receives the rule the pair broke.
std::optional<Condition> MakeCondition(std::string reference, std::string value, std::string* whyNot = nullptr);
