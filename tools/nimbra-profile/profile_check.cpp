// The checker's reading of a profile: the bridge's own loading code
// (DeserializeJson, ApplyProfileSettings, ParseConditions through
// DecideLedEntry, and the registry's datum rule) run under a load observer
// that keeps what each step decided, instead of building bindings.
#include "profile_check.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#include "devices/led_entry.h"
#include "platform/file_access.h"
#include "profiles/json_loader.h"
#include "profiles/profile_files.h"

namespace nimbra_profile {
namespace {

class Recorder : public LoadObserver {
 public:
  void PairPassedOver(const PassedOverPair& pair) override { pairs.push_back(pair); }

  std::vector<PassedOverPair> pairs;  // of the entry being read
};

// Line and byte column of a byte offset, counted over the file's bytes.
void LocateOffset(const std::string& path, std::size_t offset, std::size_t* line, std::size_t* column) {
  std::FILE* file = platform::OpenFileForReading(path);
  if (file == nullptr) return;
  std::size_t lineNumber = 1;
  std::size_t lineStart = 0;
  std::size_t position = 0;
  char buffer[65536];
  while (position < offset) {
    const std::size_t want = std::min(sizeof buffer, offset - position);
    const std::size_t got = std::fread(buffer, 1, want, file);
    for (std::size_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        ++lineNumber;
        lineStart = position + i + 1;
      }
    }
    position += got;
    if (got < want) break;
  }
  std::fclose(file);
  *line = lineNumber;
  *column = offset - lineStart + 1;
}

// Texts that say all-of in so many words. The bridge reads every text but
// the any-of ones as all-of; these are the ones an author surely meant so.
bool SaysAllOf(const std::string& logic) { return logic == "AND" || logic == "&&"; }

// Top-level members of the wrong type count as absent: worth a word.
void CheckTopLevel(const rapidjson::Value& profile, std::vector<std::string>& warnings) {
  for (const char* name : {"Language", "SaveName"}) {
    const auto member = profile.FindMember(name);
    if (member != profile.MemberEnd() && !member->value.IsString()) {
      warnings.push_back(std::string("\"") + name + "\" is not a string and is passed over");
    }
  }
  const auto local = profile.FindMember("LocalVariables");
  if (local != profile.MemberEnd() && !local->value.IsBool()) {
    warnings.push_back("\"LocalVariables\" is not true or false: local variables stay off");
  }
}

// What an "L:" reference means in this profile: refused without the member,
// unchecked with it.
void AddLocalFinding(CheckedVariable& variable, bool localVariables) {
  if (!IsLocalReference(variable.reference)) return;
  if (!localVariables) {
    variable.findings.push_back(
        Finding{"local-variables-off", false,
                "\"L:\" references are read only in a profile with \"LocalVariables\": true at its top level; "
                "without it the bridge refuses this one with a message box",
                {"\"LocalVariables\": true"}});
  } else {
    variable.findings.push_back(
        Finding{"local-variable-unchecked", true,
                "a misspelled local variable reads 0 without any error: the simulator creates it", {}});
  }
}

// What the bridge reads an accepted entry as, where that differs from what
// its author most likely meant.
void CheckReading(const rapidjson::Value& entry, CheckedEntry& checked) {
  const auto logic = entry.FindMember("ConditionLogic");
  if (logic != entry.MemberEnd()) {
    if (!logic->value.IsString()) {
      checked.warnings.push_back("\"ConditionLogic\" is not a string: all conditions must hold");
    } else if (!checked.outcome.isOr && !SaysAllOf(logic->value.GetString())) {
      checked.warnings.push_back(std::string("\"ConditionLogic\" \"") + logic->value.GetString() +
                                 "\" means all-of; only \"OR\" or \"||\" select any-of");
    }
  }
  for (const Condition& condition : checked.outcome.conditions) {
    if (condition.reference.find(';') != std::string::npos) {
      checked.warnings.push_back("\"" + condition.reference +
                                 "\" is read as one reference: its value text has no ';'");
    }
  }
}

// "Blink" where the bridge reads it otherwise than written: on the gate,
// which never blinks; a value that means no rate; a rate the six-per-second
// refresh cannot show, with the rate it shows instead.
void CheckBlink(CheckedEntry& checked) {
  const BlinkRate& blink = checked.outcome.blink;
  if (blink.reading == BlinkReading::Absent) return;
  if (checked.outcome.gate) {
    checked.findings.push_back(
        Finding{"blink-on-gate", false, "\"Blink\" on the gate is ignored: the gate never blinks", {}});
    return;
  }
  if (blink.reading == BlinkReading::Ignored) {
    checked.findings.push_back(Finding{"blink-ignored", false,
                                       "\"Blink\" is " + blink.whyIgnored + ": the LED is steady, as without it",
                                       {"\"Blink\": true", "\"Blink\": 1.5"}});
  } else if (blink.reading == BlinkReading::Rounded) {
    char asked[32];
    const auto written = std::to_chars(asked, asked + sizeof asked, blink.asked);
    const std::string used = BlinkHzText(blink.halfPeriod);
    checked.findings.push_back(Finding{
        "blink-rounded", false,
        "\"Blink\" " + std::string(asked, written.ptr) + " Hz is not a rate the unit shows: it blinks at " + used +
            " Hz (" + std::to_string(blink.halfPeriod) + " of the six refreshes a second lit, as many dark)",
        {"\"Blink\": " + used}});
  }
}

void CollectVariables(ProfileCheck& check) {
  std::map<std::string, std::size_t> seen;  // reference -> index in variables
  for (const CheckedEntry& entry : check.entries) {
    const EntryOutcome& outcome = entry.outcome;
    if (!outcome.accepted) continue;
    if (outcome.gate && check.gateEntry != outcome.index) continue;  // replaced by a later gate
    for (const Condition& condition : outcome.conditions) {
      const auto found = seen.find(condition.reference);
      if (found != seen.end()) {
        ++check.variables[found->second].holders;
        continue;
      }
      seen.emplace(condition.reference, check.variables.size());
      check.variables.push_back(CheckedVariable{
          condition.reference, condition.valueType, 1,
          DatumOf(condition.reference, condition.valueType, check.localVariables), {}});
      AddLocalFinding(check.variables.back(), check.localVariables);
    }
  }
}

void CollectDuplicates(ProfileCheck& check) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<std::size_t>> positions;
  for (const CheckedEntry& entry : check.entries) {
    const EntryOutcome& outcome = entry.outcome;
    if (outcome.accepted && !outcome.gate) positions[{outcome.byteIndex, outcome.bitIndex}].push_back(outcome.index);
  }
  for (auto& [position, entries] : positions) {
    if (entries.size() > 1) check.duplicates.push_back(DuplicatePosition{position.first, position.second, entries});
  }
}

}  // namespace

int ProfileCheck::Status() const {
  if (failure) return 2;
  if (!warnings.empty() || !duplicates.empty()) return 1;
  for (const CheckedEntry& entry : entries) {
    if (!entry.outcome.accepted || !entry.pairsPassedOver.empty() || !entry.warnings.empty()) return 1;
    for (const Finding& finding : entry.findings) {
      if (!finding.note) return 1;
    }
  }
  for (const CheckedVariable& variable : variables) {
    if (!variable.datum.registrable) return 1;
    for (const Finding& finding : variable.findings) {
      if (!finding.note) return 1;
    }
  }
  return 0;
}

ProfileCheck CheckProfile(const std::string& path, const LedLimits& limits) {
  ProfileCheck check;
  check.path = path;
  Recorder recorder;

  const LoadedJson loaded = DeserializeJson(path);
  const std::unique_ptr<rapidjson::Document>& profile = loaded.document;
  if (!profile) {
    check.failure = loaded.failure;
    if (check.failure->parseError) LocateOffset(path, check.failure->offset, &check.line, &check.column);
    return check;
  }
  ApplyProfileSettings(*profile, check.languageKey, check.saveName);
  check.localVariables = LocalVariablesOn(*profile);
  CheckTopLevel(*profile, check.warnings);

  const bool hasLeds = profile->HasMember("LEDs");
  if (!hasLeds || !(*profile)["LEDs"].IsArray()) {
    check.warnings.push_back(hasLeds ? "\"LEDs\" is not an array: no binding" : "no \"LEDs\": no binding");
    return check;
  }
  std::size_t index = 0;
  for (const rapidjson::Value& entry : (*profile)["LEDs"].GetArray()) {
    recorder.pairs.clear();
    CheckedEntry checked;
    checked.outcome = DecideLedEntry(entry, index++, limits, check.languageKey, &recorder);
    checked.pairsPassedOver = std::move(recorder.pairs);
    if (checked.outcome.accepted) {
      CheckReading(entry, checked);
      CheckBlink(checked);
      const std::optional<std::size_t> gateBefore = check.gateEntry;
      check.gateEntry = GateAfter(checked.outcome, gateBefore);
      if (gateBefore && check.gateEntry != gateBefore) {
        checked.warnings.push_back("replaces the gate of entry " + std::to_string(*gateBefore));
      }
    }
    check.entries.push_back(std::move(checked));
  }
  CollectVariables(check);
  CollectDuplicates(check);
  return check;
}

}  // namespace nimbra_profile
