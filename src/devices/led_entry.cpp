// One LED entry judged as the bridge judges it: conditions first, then the
// position against the unit's limits, then the description. The first rule
// an entry breaks is its reason for being passed over.
#include "devices/led_entry.h"

#include <algorithm>
#include <utility>

#include "devices/supported_unit.h"
#include "profiles/conditions.h"
#include "profiles/evaluation.h"

namespace {

// The report has 64 LED bytes after its identifier, whatever a descriptor says.
constexpr std::uint32_t kLastReportByte = kLedReportSize - 1;

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

// A non-negative integer that fits in 32 bits and is written without a
// fraction part; otherwise the reason why not.
const char* ReadIndex(const rapidjson::Value& entry, const char* name, std::uint32_t* index) {
  const rapidjson::Value* value = Member(entry, name);
  if (value == nullptr) return "missing";
  if (!value->IsUint()) return "not an unsigned integer";
  *index = value->GetUint();
  return nullptr;
}

}  // namespace

std::optional<std::size_t> GateAfter(const EntryOutcome& outcome, std::optional<std::size_t> gateBefore) {
  if (outcome.accepted && outcome.gate) return outcome.index;
  return gateBefore;
}

EntryOutcome DecideLedEntry(const rapidjson::Value& entry, std::size_t index, const LedLimits& limits,
                            const std::string& languageKey, LoadObserver* observer) {
  const std::uint32_t lastByteIndex = limits.lastByteIndex;
  const std::uint32_t lastByteMaxBit = limits.lastByteMaxBit;
  EntryOutcome outcome;
  outcome.index = index;
  if (!entry.IsObject()) {
    outcome.reason = "not an object";
    return outcome;
  }
  ParsedConditions parsed = ParseConditions(entry, observer);
  outcome.conditions = std::move(parsed.conditions);
  outcome.isOr = IsOrLogic(parsed.logic);
  if (outcome.conditions.empty()) {
    outcome.reason = "no condition";
    return outcome;
  }

  const std::uint32_t byteLimit = std::min(lastByteIndex, kLastReportByte);
  std::uint32_t byteIndex = 0;
  std::uint32_t bitIndex = 0;
  if (const char* why = ReadIndex(entry, "ByteIndex", &byteIndex)) {
    outcome.reason = std::string("\"ByteIndex\" ") + why;
    return outcome;
  }
  if (byteIndex > byteLimit) {
    outcome.reason = "\"ByteIndex\" " + std::to_string(byteIndex) + " is above " + std::to_string(byteLimit);
    return outcome;
  }
  if (const char* why = ReadIndex(entry, "BitIndex", &bitIndex)) {
    outcome.reason = std::string("\"BitIndex\" ") + why;
    return outcome;
  }
  if (bitIndex > 7) {
    outcome.reason = "\"BitIndex\" " + std::to_string(bitIndex) + " is above 7";
    return outcome;
  }
  if (byteIndex == lastByteIndex && bitIndex > lastByteMaxBit) {
    outcome.reason = "\"BitIndex\" " + std::to_string(bitIndex) + " is above " + std::to_string(lastByteMaxBit) +
                     " in byte " + std::to_string(byteIndex);
    return outcome;
  }
  if (byteIndex == 0 && bitIndex != 0) {
    outcome.reason = "byte 0 holds only the gate, at bit 0";
    return outcome;
  }

  if (!languageKey.empty()) {
    const rapidjson::Value* description = Member(entry, languageKey.c_str());
    if (description != nullptr && description->IsString()) outcome.text = description->GetString();
  }
  outcome.accepted = true;
  outcome.gate = byteIndex == 0;
  outcome.byteIndex = byteIndex;
  outcome.bitIndex = bitIndex;
  return outcome;
}
