// The conditions that light one LED, and deciding whether they hold now.
#pragma once

#include <string>
#include <vector>

#include "profiles/condition.h"
#include "variables/variable_registry.h"

// Holds its variables in `registry` (the bridge's is the process-wide one)
// from construction to destruction, so it is neither copied nor moved, and
// is decided against that registry's values. `localVariables`: its profile
// opted into "L:" references.
class ConditionSet {
 public:
  ConditionSet(VariableRegistry& registry, std::string text, std::vector<Condition> conditions, bool isOr,
               bool localVariables = false);
  ~ConditionSet();
  ConditionSet(const ConditionSet&) = delete;
  ConditionSet& operator=(const ConditionSet&) = delete;

  const std::string text;                   // the LED's announcement text
  const std::vector<Condition> conditions;  // in profile order
  const bool isOr;                          // any-of when true, else all-of
  const bool localVariables;                // "L:" references are registered
  const VariableRegistry& registry() const { return registry_; }

 private:
  VariableRegistry& registry_;
  const std::vector<VariableUse> uses_;     // what the registry holds for `conditions`
};

// True when the logic text of an entry selects any-of.
bool IsOrLogic(const std::string& logic);

// An empty set holds; otherwise any-of or all-of over every condition.
bool EvaluateConditionSet(const ConditionSet& set);

// The condition compared with its variable's latest value in `registry`;
// false when it holds no variable under the condition's reference.
bool EvaluateCondition(const Condition& condition, const VariableRegistry& registry);

// The comparison itself, with the value cell of the variable found.
bool CompareWithValue(const Condition& condition, const SimVariable& variable);
