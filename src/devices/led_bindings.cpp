// A profile's "LEDs" array made into bindings. Each entry's conditions are
// read first, then its position is checked against the unit's limits; an
// entry that fails anything is passed over without a word and the rest load.
#include <algorithm>
#include <string>
#include <utility>

#include "devices/hid_device.h"
#include "profiles/conditions.h"

namespace {

// The value of the first member of that name, or null.
const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

// A non-negative integer that fits in 32 bits and is written without a
// fraction part.
bool ReadIndex(const rapidjson::Value& entry, const char* name, std::uint32_t* index) {
  const rapidjson::Value* value = Member(entry, name);
  if (value == nullptr || !value->IsUint()) return false;
  *index = value->GetUint();
  return true;
}

}  // namespace

std::uint32_t HidDevice::BindingCount() const { return static_cast<std::uint32_t>(bindings.size()); }

void HidDevice::LoadBindings(const rapidjson::Value& profile) {
  if (!profile.IsObject()) return;
  const rapidjson::Value* leds = Member(profile, "LEDs");
  if (leds == nullptr || !leds->IsArray()) return;
  for (const rapidjson::Value& entry : leds->GetArray()) AddBinding(entry);
}

void HidDevice::AddBinding(const rapidjson::Value& entry) {
  if (!entry.IsObject()) return;
  ParsedConditions parsed = ParseConditions(entry);
  if (parsed.conditions.empty()) return;

  // The report has 64 LED bytes after its identifier, whatever a descriptor says.
  const std::uint32_t byteLimit = std::min<std::uint32_t>(lastByteIndex, kLedReportSize - 1);
  std::uint32_t byteIndex = 0;
  std::uint32_t bitIndex = 0;
  if (!ReadIndex(entry, "ByteIndex", &byteIndex) || byteIndex > byteLimit) return;
  if (!ReadIndex(entry, "BitIndex", &bitIndex) || bitIndex > 7) return;
  if (byteIndex == lastByteIndex && bitIndex > lastByteMaxBit) return;
  if (byteIndex == 0 && bitIndex != 0) return;

  std::string text;
  if (!languageKey.empty()) {
    const rapidjson::Value* description = Member(entry, languageKey.c_str());
    if (description != nullptr && description->IsString()) text = description->GetString();
  }
  const bool isOr = IsOrLogic(parsed.logic);

  if (byteIndex == 0) {
    // The old gate gives its variables back before the new one takes its own,
    // so a variable both use is registered afresh.
    gateBinding.reset();
    auto set = std::make_unique<ConditionSet>(std::move(text), std::move(parsed.conditions), isOr);
    gateBinding = std::make_unique<LedBinding>(LedBinding{0, 0, std::move(set)});
    return;
  }
  // The set (and with it the variables) comes first, so that no binding is
  // ever left without one.
  auto set = std::make_unique<ConditionSet>(std::move(text), std::move(parsed.conditions), isOr);
  bindings.push_back(std::make_unique<LedBinding>(
      LedBinding{static_cast<std::int32_t>(byteIndex), static_cast<std::int32_t>(bitIndex), std::move(set)}));
}

void HidDevice::ClearBindings() {
  for (auto& binding : bindings) binding.reset();
  bindings.clear();
}
