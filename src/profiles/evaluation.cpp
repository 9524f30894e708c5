// Deciding an LED from the latest variable values: pure reads, run six times
// a second for every condition, so nothing is allocated here.
#include "profiles/evaluation.h"

#include <utility>

#include "app/process_state.h"
#include "variables/variable_registry.h"

ConditionSet::ConditionSet(std::string text, std::vector<Condition> conditions, bool isOr)
    : text(std::move(text)), conditions(std::move(conditions)), isOr(isOr) {
  variableRegistry.AcquireVariables(this->conditions);
}

ConditionSet::~ConditionSet() { variableRegistry.ReleaseVariables(conditions); }

bool IsOrLogic(const std::string& logic) { return logic == "OR" || logic == "||"; }

bool EvaluateConditionSet(const ConditionSet& set) {
  if (set.conditions.empty()) return true;
  bool outcome = !set.isOr;
  for (const Condition& condition : set.conditions) {
    const bool holds = EvaluateCondition(condition);
    if (set.isOr && holds) outcome = true;
    if (!set.isOr && !holds) outcome = false;
  }
  return outcome;
}

bool EvaluateCondition(const Condition& condition) {
  const SimVariable* variable = variableRegistry.FindVariable(condition.reference);
  return variable != nullptr && CompareWithValue(condition, *variable);
}

bool CompareWithValue(const Condition& condition, const SimVariable& variable) {
  switch (condition.valueType) {
    case ValueType::Bool: {
      if (!variable.intValue) return false;
      const std::int32_t x = *variable.intValue;
      const std::int32_t e = condition.expectedInt;
      switch (condition.op) {
        case ComparisonOp::Equal: return x == e;
        case ComparisonOp::NotEqual: return x != e;
        case ComparisonOp::Greater: return x > e;
        case ComparisonOp::GreaterOrEqual: return x >= e;
        case ComparisonOp::Less: return x < e;
        case ComparisonOp::LessOrEqual: return x <= e;
      }
      return false;
    }
    case ValueType::Number: {
      if (!variable.floatValue) return false;
      // The built-in comparisons already give the NaN rules: only "!=" holds.
      const double x = *variable.floatValue;
      const double e = condition.expectedNumber;
      switch (condition.op) {
        case ComparisonOp::Equal: return x == e;
        case ComparisonOp::NotEqual: return x != e;
        case ComparisonOp::Greater: return x > e;
        case ComparisonOp::GreaterOrEqual: return x >= e;
        case ComparisonOp::Less: return x < e;
        case ComparisonOp::LessOrEqual: return x <= e;
      }
      return false;
    }
    case ValueType::Char:
    case ValueType::String:
      break;
  }
  return false;
}
