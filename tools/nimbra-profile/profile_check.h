// A profile read the way the bridge reads it, with every decision kept for
// the profile checker: why the file did not load, each LED entry's outcome
// and the pairs passed over in it, the variables the bindings would
// register, the gate and the positions bound twice. Nothing is registered
// with the simulator and no unit is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "profiles/json_loader.h"
#include "devices/led_entry.h"
#include "variables/variable_datum.h"

namespace nimbra_profile {

// Something the checker says about a variable beyond what the bridge does
// with it: a warning (the profile most likely does not do what its author
// meant) or a note (worth knowing, nothing wrong). `code` names the kind for
// scripts; the suggestions are what the author probably meant.
struct Finding {
  std::string code;
  bool note = false;
  std::string message;
  std::vector<std::string> suggestions;
};

struct CheckedEntry {
  EntryOutcome outcome;
  std::vector<PassedOverPair> pairsPassedOver;
  std::vector<std::string> warnings;  // about an accepted entry's reading
  std::vector<Finding> findings;      // the same, for scripts: "Blink" ignored or rounded
};

struct CheckedVariable {
  std::string reference;  // the registry key
  ValueType valueType = ValueType::Number;
  std::size_t holders = 0;  // conditions of the final bindings that name it
  VariableDatum datum;
  std::vector<Finding> findings;
};

struct DuplicatePosition {
  std::uint32_t byteIndex = 0;
  std::uint32_t bitIndex = 0;
  std::vector<std::size_t> entries;
};

struct ProfileCheck {
  std::string path;
  std::optional<DocumentFailure> failure;  // set: the bridge loads nothing
  std::size_t line = 0;                    // of a parse error, from 1; 0 when unknown
  std::size_t column = 0;                  // in bytes, from 1
  std::string saveName;
  std::string languageKey;
  bool localVariables = false;        // "LocalVariables": true
  std::vector<std::string> warnings;  // about the top level
  std::vector<CheckedEntry> entries;  // in "LEDs" order
  std::vector<CheckedVariable> variables;  // in order of first use
  std::optional<std::size_t> gateEntry;    // the entry that becomes the gate
  std::vector<DuplicatePosition> duplicates;

  // 0 clean (notes allowed), 1 loads with warnings, 2 does not load.
  int Status() const;
};

// Checks the profile at `path` for a device with these limits.
ProfileCheck CheckProfile(const std::string& path, const LedLimits& limits);

}  // namespace nimbra_profile
