// The condition language alone: an operator taken off a value text, a
// reference and a value text made into a condition, the condition members of
// a JSON entry, and each condition compared with a variable's value.
//
// Input: up to the first zero byte the reference, up to the second the value
// text, the rest a JSON text for an LED entry; the last 8 bytes also serve as
// the variable's value.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "profiles/condition_members.h"
#include "profiles/evaluation.h"
#include "variables/variable_registry.h"

namespace {

using fuzzworld::Require;

// What every condition must be, however it was made.
void CheckCondition(const Condition& condition, const std::uint8_t* data, std::size_t size) {
  Require(condition.op >= ComparisonOp::Equal && condition.op <= ComparisonOp::LessOrEqual);
  Require(condition.valueType >= ValueType::Bool && condition.valueType <= ValueType::String);
  Require(!condition.reference.empty());
  std::uint8_t raw[8] = {};
  std::memcpy(raw, data + (size > 8 ? size - 8 : 0), size > 8 ? 8 : size);
  SimVariable number;
  number.valueType = ValueType::Number;
  number.floatValue = std::make_unique<double>();
  std::memcpy(number.floatValue.get(), raw, 8);
  SimVariable flag;
  flag.valueType = ValueType::Bool;
  flag.intValue = std::make_unique<std::int32_t>();
  std::memcpy(flag.intValue.get(), raw, 4);
  const bool asNumber = CompareWithValue(condition, number);
  const bool asFlag = CompareWithValue(condition, flag);
  // A text comparison never holds; each kind reads only its own cell.
  if (condition.valueType != ValueType::Number) Require(!asNumber);
  if (condition.valueType != ValueType::Bool) Require(!asFlag);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const std::string all(text, size);
  const std::size_t first = all.find('\0');
  const std::string reference = all.substr(0, first);
  const std::size_t second = first == std::string::npos ? std::string::npos : all.find('\0', first + 1);
  const std::string value = first == std::string::npos ? std::string() : all.substr(first + 1, second - first - 1);
  const std::string json = second == std::string::npos ? std::string() : all.substr(second + 1);

  // The operator comes off the front and nothing else changes.
  std::string rest = value;
  const ComparisonOp op = ParseComparison(rest);
  Require(op >= ComparisonOp::Equal && op <= ComparisonOp::LessOrEqual);
  Require(rest.size() <= value.size() && value.compare(value.size() - rest.size(), rest.size(), rest) == 0);

  const MadeCondition made = MakeCondition(reference, value);
  if (made.made) {
    Require(made.whyNot.empty());
    CheckCondition(made.condition, data, size);
  } else {
    Require(!made.whyNot.empty());
  }

  rapidjson::Document entry;
  entry.Parse(json.c_str(), json.size());
  if (!entry.HasParseError()) {
    const ParsedConditions parsed = ParseConditions(entry, nullptr);
    for (const Condition& condition : parsed.conditions) CheckCondition(condition, data, size);
    ConditionValueText(entry);
    IsOrLogic(parsed.logic);
  }
  return 0;
}
