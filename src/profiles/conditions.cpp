// Reading the condition members of an LED entry into one flat list of
// reference-and-value pairs.
#include "profiles/conditions.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace {

// The member's value, or null when the object has no such member; the first
// one counts when a name is repeated.
const rapidjson::Value* FindMember(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

// A "Condition" string and any "ConditionValue" both present: their pairs.
void AddPairsOf(const rapidjson::Value& object, std::vector<Condition>& out) {
  const rapidjson::Value* reference = FindMember(object, "Condition");
  const rapidjson::Value* value = FindMember(object, "ConditionValue");
  if (reference == nullptr || !reference->IsString() || value == nullptr) return;
  std::string referenceText = reference->GetString();  // up to a \u0000, like the value
  std::string valueText = ConditionValueText(*value);
  if (referenceText.empty() || valueText.empty()) return;
  SplitConditionPairs(std::move(referenceText), std::move(valueText), out);
}

// Cuts the part before the first ';' and that ';' off the text; without a
// ';' the whole text is the part and the text stays as it is.
std::string TakePart(std::string& text, bool& wasLast) {
  const std::size_t separator = text.find(';');
  wasLast = separator == std::string::npos;
  if (wasLast) return text;
  std::string part = text.substr(0, separator);
  text.erase(0, separator + 1);
  return part;
}

}  // namespace

std::string ConditionValueText(const rapidjson::Value& value) {
  if (value.IsString()) return value.GetString();
  if (value.IsBool()) return value.GetBool() ? "1" : "0";
  if (value.IsInt()) return std::to_string(value.GetInt());
  if (value.IsUint()) return std::to_string(value.GetUint());
  if (value.IsDouble()) {
    // Like "%f" in the "C" locale; the largest double needs 317 characters.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value.GetDouble(), std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return std::string();
    return std::string(text, result.ptr);
  }
  return std::string();
}

void SplitConditionPairs(std::string reference, std::string value, std::vector<Condition>& out) {
  const bool walk = !reference.empty() && !value.empty() && reference.find(';') != std::string::npos &&
                    value.find(';') != std::string::npos;
  if (!walk) {
    if (auto condition = MakeCondition(std::move(reference), std::move(value))) out.push_back(std::move(*condition));
    return;
  }
  // Every round either stops or shortens both texts, so the walk ends.
  for (;;) {
    bool referenceWasLast = false;
    bool valueWasLast = false;
    std::string referencePart = TakePart(reference, referenceWasLast);
    std::string valuePart = TakePart(value, valueWasLast);
    if (auto condition = MakeCondition(std::move(referencePart), std::move(valuePart))) {
      out.push_back(std::move(*condition));
    }
    if (referenceWasLast || valueWasLast) return;
    if (reference.empty() || value.empty()) return;
    if (reference[0] == ';' || value[0] == ';') return;
  }
}

ParsedConditions ParseConditions(const rapidjson::Value& entry) {
  ParsedConditions parsed;
  if (!entry.IsObject()) return parsed;

  AddPairsOf(entry, parsed.conditions);

  if (const rapidjson::Value* list = FindMember(entry, "Conditions"); list != nullptr && list->IsArray()) {
    for (const rapidjson::Value& element : list->GetArray()) {
      if (element.IsObject()) AddPairsOf(element, parsed.conditions);
    }
  }

  if (const rapidjson::Value* logic = FindMember(entry, "ConditionLogic"); logic != nullptr && logic->IsString()) {
    parsed.logic = logic->GetString();
  }
  return parsed;
}
