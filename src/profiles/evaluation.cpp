// Deciding an LED from the latest variable values: pure reads, run six times
// a second for every condition, so nothing is allocated here.
#include "profiles/evaluation.h"

#include <utility>


namespace {

// Views into the set's own conditions, which live as long as the set.
std::vector<VariableUse> UsesOf(const std::vector<Condition>& conditions) {
  std::vector<VariableUse> uses;
  uses.reserve(conditions.size());
  for (const Condition& condition : conditions) uses.push_back({condition.reference, condition.valueType});
  return uses;
}

}  // namespace

ConditionSet::ConditionSet(VariableRegistry& registry, std::string text, std::vector<Condition> conditions, bool isOr,
                           bool localVariables)
    : text(std::move(text)),
      conditions(std::move(conditions)),
      isOr(isOr),
      localVariables(localVariables),
      registry_(registry),
      uses_(UsesOf(this->conditions)) {
  registry_.AcquireVariables(uses_, localVariables);
}

ConditionSet::~ConditionSet() { registry_.ReleaseVariables(uses_, localVariables); }

bool IsOrLogic(const std::string& logic) { return logic == "OR" || logic == "||"; }

bool EvaluateConditionSet(const ConditionSet& set) {
  if (set.conditions.empty()) return true;
  bool outcome = !set.isOr;
  for (const Condition& condition : set.conditions) {
    const bool holds = EvaluateCondition(condition, set.registry());
    if (set.isOr && holds) outcome = true;
    if (!set.isOr && !holds) outcome = false;
  }
  return outcome;
}

namespace {

template <typename T>
bool Compare(ComparisonOp op, T x, T e) {
  switch (op) {
    case ComparisonOp::Equal: return x == e;
    case ComparisonOp::NotEqual: return x != e;
    case ComparisonOp::Greater: return x > e;
    case ComparisonOp::GreaterOrEqual: return x >= e;
    case ComparisonOp::Less: return x < e;
    case ComparisonOp::LessOrEqual: return x <= e;
  }
  return false;
}

}  // namespace

bool EvaluateCondition(const Condition& condition, const VariableRegistry& registry) {
  const SimVariable* variable = registry.FindVariable(condition.reference);
  return variable != nullptr && CompareWithValue(condition, *variable);
}

bool CompareWithValue(const Condition& condition, const SimVariable& variable) {
  switch (condition.valueType) {
    case ValueType::Bool:
      return variable.intValue && Compare(condition.op, *variable.intValue, condition.expectedInt);
    case ValueType::Number:
      // The built-in comparisons already give the NaN rules: only "!=" holds.
      return variable.floatValue && Compare(condition.op, *variable.floatValue, condition.expectedNumber);
    case ValueType::Char:
    case ValueType::String:
      break;
  }
  return false;
}
