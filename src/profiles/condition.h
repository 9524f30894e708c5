// One comparison of a simulation variable with an expected value: a plain
// record, copied freely.
#pragma once

#include <cstdint>
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

// A reference and a value text made into a condition, or the rule the pair
// broke.
struct MadeCondition {
  bool made = false;
  std::string whyNot;   // set when not made
  Condition condition;  // set when made
};

MadeCondition MakeCondition(std::string reference, std::string value);
