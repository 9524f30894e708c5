// The decision on one LED entry of a profile: the conditions it reads to,
// and whether its position makes it a binding, the gate, or nothing. The
// device builds bindings from it; the profile checker reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "profiles/load_observer.h"

// `index` is the entry's place in "LEDs"; the limits are the device's.
// Tells the load observer, if any, about the entry and its condition pairs.
EntryOutcome DecideLedEntry(const rapidjson::Value& entry, std::size_t index, std::uint32_t lastByteIndex,
                            std::uint32_t lastByteMaxBit, const std::string& languageKey);
