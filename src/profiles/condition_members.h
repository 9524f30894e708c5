// The condition members of one LED entry: "Condition" with "ConditionValue",
// the list "Conditions" of such pairs, and "ConditionLogic".
#pragma once

#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "profiles/condition.h"
#include "profiles/load_observer.h"

struct ParsedConditions {
  std::vector<Condition> conditions;  // single form first, then "Conditions" in order
  std::string logic;                  // "ConditionLogic" text; empty when absent
};

// Reads the condition members of an LED entry. Members of the wrong type and
// pairs that make no condition are passed over, and `observer`, when given,
// is told each one and why; an entry that is not an object gives
// nothing.
ParsedConditions ParseConditions(const rapidjson::Value& entry, LoadObserver* observer);

// Pairs the ";"-separated references with the ";"-separated value texts by
// position and appends every pair that makes a condition.
void SplitConditionPairs(std::string reference, std::string value, std::vector<Condition>& out);

// The value text of a "ConditionValue": strings up to a \u0000, true "1",
// false "0", integers of 32 bits in decimal, other floating-point numbers
// with six decimals, anything else (64-bit-only integers, null, objects,
// arrays) empty.
std::string ConditionValueText(const rapidjson::Value& value);
