// Reading the condition members of an LED entry into one flat list of
// reference-and-value pairs.
#include "profiles/condition_members.h"

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

// Where the pairs being read come from, and who hears of those passed over.
struct Reading {
  PairSource source;
  LoadObserver* observer = nullptr;
};

// Tells the observer, if any, that a pair or a member gave no condition.
void PassOver(const Reading& at, std::string reference, std::string value, std::string whyNot) {
  if (at.observer != nullptr) {
    at.observer->PairPassedOver(PassedOverPair{at.source, std::move(reference), std::move(value), std::move(whyNot)});
  }
}

// Why a "ConditionValue" gave an empty value text.
std::string EmptyValueReason(const rapidjson::Value& value) {
  if (value.IsString()) return "\"ConditionValue\" is an empty text";
  if (value.IsNull()) return "\"ConditionValue\" is null";
  if (value.IsObject()) return "\"ConditionValue\" is an object";
  if (value.IsArray()) return "\"ConditionValue\" is an array";
  return "\"ConditionValue\" is an integer beyond 32 bits";
}

void SplitPairs(std::string reference, std::string value, std::vector<Condition>& out, const Reading& at);

// A "Condition" string and any "ConditionValue" both present: their pairs.
void AddPairsOf(const rapidjson::Value& object, const Reading& at, std::vector<Condition>& out) {
  const rapidjson::Value* reference = FindMember(object, "Condition");
  const rapidjson::Value* value = FindMember(object, "ConditionValue");
  if (reference == nullptr) {
    if (value != nullptr) PassOver(at, "", "", "\"ConditionValue\" without \"Condition\"");
    else if (at.source.inList) PassOver(at, "", "", "element has no \"Condition\"");
    return;
  }
  if (!reference->IsString()) {
    PassOver(at, "", "", "\"Condition\" is not a string");
    return;
  }
  std::string referenceText = reference->GetString();  // up to a \u0000, like the value
  if (value == nullptr) {
    PassOver(at, referenceText, "", "\"Condition\" without \"ConditionValue\"");
    return;
  }
  std::string valueText = ConditionValueText(*value);
  if (referenceText.empty()) {
    PassOver(at, "", valueText, "\"Condition\" is empty");
    return;
  }
  if (valueText.empty()) {
    PassOver(at, referenceText, "", EmptyValueReason(*value));
    return;
  }
  SplitPairs(std::move(referenceText), std::move(valueText), out, at);
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

void AddCondition(std::string reference, std::string value, std::vector<Condition>& out, const Reading& at) {
  MadeCondition made = MakeCondition(reference, value);
  if (made.made) {
    out.push_back(std::move(made.condition));
  } else {
    PassOver(at, std::move(reference), std::move(value), std::move(made.whyNot));
  }
}

void SplitPairs(std::string reference, std::string value, std::vector<Condition>& out, const Reading& at) {
  const bool walk = !reference.empty() && !value.empty() && reference.find(';') != std::string::npos &&
                    value.find(';') != std::string::npos;
  if (!walk) {
    AddCondition(std::move(reference), std::move(value), out, at);
    return;
  }
  // Every round either stops or shortens both texts, so the walk ends.
  for (;;) {
    bool referenceWasLast = false;
    bool valueWasLast = false;
    std::string referencePart = TakePart(reference, referenceWasLast);
    std::string valuePart = TakePart(value, valueWasLast);
    AddCondition(std::move(referencePart), std::move(valuePart), out, at);
    const bool ranOut = referenceWasLast || valueWasLast || reference.empty() || value.empty();
    if (ranOut || reference[0] == ';' || value[0] == ';') {
      // What the walk leaves unpaired: the rest of the side that did not run out.
      std::string restOfReference = referenceWasLast ? std::string() : reference;
      std::string restOfValue = valueWasLast ? std::string() : value;
      if (!restOfReference.empty() || !restOfValue.empty()) {
        PassOver(at, std::move(restOfReference), std::move(restOfValue),
                 ranOut ? "no partner left: the other side ran out of ';' parts"
                        : "an empty ';' part ends the pairing");
      }
      return;
    }
  }
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
  SplitPairs(std::move(reference), std::move(value), out, Reading{});
}

ParsedConditions ParseConditions(const rapidjson::Value& entry, LoadObserver* observer) {
  ParsedConditions parsed;
  if (!entry.IsObject()) return parsed;

  AddPairsOf(entry, Reading{PairSource{}, observer}, parsed.conditions);

  if (const rapidjson::Value* list = FindMember(entry, "Conditions"); list != nullptr) {
    if (list->IsArray()) {
      std::size_t element = 0;
      for (const rapidjson::Value& item : list->GetArray()) {
        const Reading at{PairSource{true, element++}, observer};
        if (item.IsObject()) AddPairsOf(item, at, parsed.conditions);
        else PassOver(at, "", "", "element is not an object");
      }
    } else {
      PassOver(Reading{PairSource{}, observer}, "", "", "\"Conditions\" is not an array");
    }
  }

  if (const rapidjson::Value* logic = FindMember(entry, "ConditionLogic"); logic != nullptr && logic->IsString()) {
    parsed.logic = logic->GetString();
  }
  return parsed;
}
