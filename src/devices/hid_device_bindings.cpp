// A profile's "LEDs" array made into bindings. Each entry is judged by
// DecideLedEntry (conditions first, then the position against the unit's
// limits); an entry that fails anything is passed over without a word and the
// rest load.
#include <string>
#include <utility>

#include "app/process_state.h"
#include "devices/hid_device.h"
#include "devices/led_entry.h"
#include "profiles/profile_files.h"

std::uint32_t HidDevice::BindingCount() const { return static_cast<std::uint32_t>(bindings.size()); }

void HidDevice::LoadBindings(const rapidjson::Value& profile) { LoadBindings(profile, nullptr); }

void HidDevice::LoadBindings(const rapidjson::Value& profile, EntryObserver* observer) {
  if (!profile.IsObject()) return;
  const auto leds = profile.FindMember("LEDs");
  if (leds == profile.MemberEnd() || !leds->value.IsArray()) return;
  const bool localVariables = LocalVariablesOn(profile);
  std::size_t index = 0;
  for (const rapidjson::Value& entry : leds->value.GetArray()) {
    EntryOutcome outcome = DecideLedEntry(entry, index++, {lastByteIndex, lastByteMaxBit}, languageKey, observer);
    if (observer != nullptr) observer->EntryDecided(outcome);
    AddBinding(std::move(outcome), localVariables);
  }
}

void HidDevice::AddBinding(EntryOutcome entry, bool localVariables) {
  if (!entry.accepted) return;
  if (entry.gate) {
    // Each gate replaces the one before it (GateAfter). The old gate gives
    // its variables back before the new one takes its own, so a variable
    // both use is registered afresh. The gate never blinks.
    gateBinding.reset();
    auto set = std::make_unique<ConditionSet>(variableRegistry, std::move(entry.text), std::move(entry.conditions), entry.isOr,
                                              localVariables);
    gateBinding = std::make_unique<LedBinding>(LedBinding{0, 0, std::move(set), 0, false});
    return;
  }
  // The set (and with it the variables) comes first, so that no binding is
  // ever left without one.
  auto set = std::make_unique<ConditionSet>(variableRegistry, std::move(entry.text), std::move(entry.conditions), entry.isOr,
                                              localVariables);
  bindings.push_back(std::make_unique<LedBinding>(LedBinding{static_cast<std::int32_t>(entry.byteIndex),
                                                             static_cast<std::int32_t>(entry.bitIndex),
                                                             std::move(set), entry.blink.halfPeriod, false}));
}

void HidDevice::ClearBindings() {
  for (auto& binding : bindings) binding.reset();
  bindings.clear();
  blinkPhase = 0;  // a new profile's LEDs start their flashing together, lit
}
