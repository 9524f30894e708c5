// One LED entry judged as the bridge judges it: conditions first, then the
// position against the unit's limits, then the description. The first rule
// an entry breaks is its reason for being passed over.
#include "devices/led_entry.h"

#include <algorithm>
#include <utility>

#include "devices/supported_unit.h"
#include "profiles/condition_members.h"
#include "profiles/evaluation.h"

namespace {

// The report has 64 LED bytes after its identifier, whatever a descriptor says.
constexpr std::uint32_t kLastReportByte = kLedReportSize - 1;

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

struct IndexReading {
  bool read = false;
  std::string whyNot;  // set when not read
  std::uint32_t value = 0;
};

// A non-negative integer that fits in 32 bits and is written without a
// fraction part.
IndexReading ReadIndex(const rapidjson::Value& entry, const char* name) {
  const rapidjson::Value* value = Member(entry, name);
  if (value == nullptr) return IndexReading{false, std::string("\"") + name + "\" missing", 0};
  if (!value->IsUint()) return IndexReading{false, std::string("\"") + name + "\" not an unsigned integer", 0};
  return IndexReading{true, std::string(), value->GetUint()};
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
    outcome.whyNot = "not an object";
    return outcome;
  }
  ParsedConditions parsed = ParseConditions(entry, observer);
  outcome.conditions = std::move(parsed.conditions);
  outcome.isOr = IsOrLogic(parsed.logic);
  if (outcome.conditions.empty()) {
    outcome.whyNot = "no condition";
    return outcome;
  }

  const std::uint32_t byteLimit = std::min(lastByteIndex, kLastReportByte);
  const IndexReading byte = ReadIndex(entry, "ByteIndex");
  if (!byte.read) {
    outcome.whyNot = byte.whyNot;
    return outcome;
  }
  const std::uint32_t byteIndex = byte.value;
  if (byteIndex > byteLimit) {
    outcome.whyNot = "\"ByteIndex\" " + std::to_string(byteIndex) + " is above " + std::to_string(byteLimit);
    return outcome;
  }
  const IndexReading bit = ReadIndex(entry, "BitIndex");
  if (!bit.read) {
    outcome.whyNot = bit.whyNot;
    return outcome;
  }
  const std::uint32_t bitIndex = bit.value;
  if (bitIndex > 7) {
    outcome.whyNot = "\"BitIndex\" " + std::to_string(bitIndex) + " is above 7";
    return outcome;
  }
  if (byteIndex == lastByteIndex && bitIndex > lastByteMaxBit) {
    outcome.whyNot = "\"BitIndex\" " + std::to_string(bitIndex) + " is above " + std::to_string(lastByteMaxBit) +
                     " in byte " + std::to_string(byteIndex);
    return outcome;
  }
  if (byteIndex == 0 && bitIndex != 0) {
    outcome.whyNot = "byte 0 holds only the gate, at bit 0";
    return outcome;
  }

  if (!languageKey.empty()) {
    const rapidjson::Value* description = Member(entry, languageKey.c_str());
    if (description != nullptr && description->IsString()) outcome.text = description->GetString();
  }
  outcome.blink = ReadBlink(Member(entry, "Blink"));
  outcome.accepted = true;
  outcome.gate = byteIndex == 0;
  outcome.byteIndex = byteIndex;
  outcome.bitIndex = bitIndex;
  return outcome;
}
