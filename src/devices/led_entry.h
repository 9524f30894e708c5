// The decision on one LED entry of a profile: the conditions it reads to,
// and whether its position makes it a binding, the gate, or nothing. The
// device builds bindings from it; the profile checker reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "devices/blink_rate.h"
#include "devices/supported_unit.h"
#include "profiles/condition.h"
#include "profiles/load_observer.h"

// What an LED entry became.
struct EntryOutcome {
  std::size_t index = 0;  // position in "LEDs"
  bool accepted = false;
  std::string whyNot;     // set when not accepted
  bool gate = false;
  std::uint32_t byteIndex = 0;  // set when accepted
  std::uint32_t bitIndex = 0;
  std::vector<Condition> conditions;  // as read, accepted or not
  bool isOr = false;
  std::string text;                   // the description read, if any
  BlinkRate blink;                    // "Blink" as read; the gate does not blink
};

// A load observer that also hears each entry's outcome, before the device
// builds anything from it.
class EntryObserver : public LoadObserver {
 public:
  virtual void EntryDecided(const EntryOutcome&) {}
};

// The entry whose gate a device keeps after `outcome`, given the one it kept
// before: an accepted gate entry replaces any gate before it, so the last
// one stands; any other outcome leaves the gate as it was.
std::optional<std::size_t> GateAfter(const EntryOutcome& outcome, std::optional<std::size_t> gateBefore);

// `index` is the entry's place in "LEDs"; the limits are the device's.
// `observer`, when given, is told each condition pair passed over.
EntryOutcome DecideLedEntry(const rapidjson::Value& entry, std::size_t index, const LedLimits& limits,
                            const std::string& languageKey, LoadObserver* observer);
