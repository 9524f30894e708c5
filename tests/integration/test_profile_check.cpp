// The profile checker agrees with the bridge: for each profile, the entries
// the checker accepts are exactly the bindings (and the gate) that
// HidDevice::LoadBindings builds with the simulator link open, and the
// variables it lists as registrable are exactly those the registry holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "profile_check.h"
#include "profiles/profile_files.h"
#include "support/unit_session.h"

using namespace testsupport;

namespace nimbra_profile {
namespace {

using CheckerAgrees = UnitSession;

// What the bridge's own loader tells an observer, one line per decision.
class Decisions : public EntryObserver {
 public:
  void PairPassedOver(const PassedOverPair& pair) override { lines.push_back("pair: " + pair.whyNot); }
  void EntryDecided(const EntryOutcome& entry) override {
    lines.push_back(std::to_string(entry.index) + ": " + (entry.accepted ? "accepted" : entry.whyNot));
  }
  std::vector<std::string> lines;
};

std::string Describe(std::int32_t byte, std::int32_t bit, const std::string& text, bool isOr,
                     const std::vector<Condition>& conditions) {
  std::ostringstream out;
  out << byte << "/" << bit << " '" << text << "' " << (isOr ? "any" : "all");
  for (const Condition& c : conditions) {
    out << " [" << c.reference << " " << static_cast<int>(c.op) << " " << static_cast<int>(c.valueType) << " "
        << c.expectedInt << " " << c.expectedNumber << " '" << c.expectedText << "']";
  }
  return out.str();
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::filesystem::path kProfiles = std::filesystem::path(NIMBRA_TESTS_DIR) / "profiles";

TEST_F(CheckerAgrees, AcceptedEntriesAreTheBridgesBindings) {
  std::vector<std::string> profiles = {
      ReadFile(kProfiles / ".." / ".." / "docs" / "examples" / "Velk_Throttle_Config.json"),
      // two gates: the second replaces the first; a variable shared by gate and LED
      R"({"Language": "de", "LEDs": [
          {"ByteIndex": 0, "BitIndex": 0, "Condition": "A:A,Bool", "ConditionValue": 1},
          {"ByteIndex": 1, "BitIndex": 7, "de": "x", "en": "y", "Condition": "A:B,Bool;A:C,feet", "ConditionValue": "1;>=2.5",
           "ConditionLogic": "||"},
          {"ByteIndex": 0, "BitIndex": 0, "Conditions": [{"Condition": "A:B,Bool", "ConditionValue": "FALSE"}]},
          {"ByteIndex": 3, "BitIndex": 7, "Condition": "A:X, Bool", "ConditionValue": 0.5, "Blink": 0.7},
          {"ByteIndex": 3, "BitIndex": 6, "Condition": "A:X, Bool", "ConditionValue": 1, "Blink": "1"},
          {"ByteIndex": 4, "BitIndex": 0, "Condition": "L:Y,String", "ConditionValue": "!="}]})",
      R"({"LEDs": {"ByteIndex": 1}})",
      R"({"LEDs": []})",
  };
  // every_mistake.json, and the ones the schema must accept (valid/) or reject (invalid/)
  for (const auto& file : std::filesystem::recursive_directory_iterator(kProfiles)) {
    if (file.path().extension() == ".json") profiles.push_back(ReadFile(file.path()));
  }
  ASSERT_GT(profiles.size(), 30u);
  for (std::size_t i = 0; i < profiles.size(); ++i) {
    SCOPED_TRACE("profile " + std::to_string(i));
    ASSERT_FALSE(profiles[i].empty());
    const auto path = std::filesystem::temp_directory_path() /
                      ("nimbra_check_" + std::to_string(i) + "_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".json");
    std::ofstream(path, std::ios::binary) << profiles[i];
    const ProfileCheck check = CheckProfile(path.string(), kSupportedUnitLedLimits);
    std::filesystem::remove(path);
    ASSERT_FALSE(check.failure) << check.failure->message;

    HidDevice& device = MakeUnit();
    rapidjson::Document document;
    document.Parse(profiles[i].c_str());
    ApplyProfileSettings(document, device.languageKey, device.saveName);
    Decisions told;
    device.LoadBindings(document, &told);
    std::vector<std::string> checked;
    for (const CheckedEntry& entry : check.entries) {
      for (const PassedOverPair& pair : entry.pairsPassedOver) checked.push_back("pair: " + pair.whyNot);
      const EntryOutcome& o = entry.outcome;
      checked.push_back(std::to_string(o.index) + ": " + (o.accepted ? "accepted" : o.whyNot));
    }
    EXPECT_EQ(told.lines, checked);

    std::vector<std::string> bridge;
    for (const auto& binding : device.bindings) {
      bridge.push_back(Describe(binding->byteIndex, binding->bitIndex, binding->conditions->text,
                                binding->conditions->isOr, binding->conditions->conditions) +
                       " blink " + std::to_string(binding->blinkHalfPeriod));
    }
    std::vector<std::string> checker;
    for (const CheckedEntry& entry : check.entries) {
      const EntryOutcome& o = entry.outcome;
      if (o.accepted && !o.gate) {
        checker.push_back(Describe(static_cast<std::int32_t>(o.byteIndex), static_cast<std::int32_t>(o.bitIndex),
                                   o.text, o.isOr, o.conditions) +
                          " blink " + std::to_string(o.blink.halfPeriod));
      }
    }
    EXPECT_EQ(checker, bridge);

    ASSERT_EQ(check.gateEntry.has_value(), device.gateBinding != nullptr);
    if (check.gateEntry) {
      const EntryOutcome& gate = check.entries[*check.gateEntry].outcome;
      EXPECT_EQ(Describe(0, 0, gate.text, gate.isOr, gate.conditions),
                Describe(0, 0, device.gateBinding->conditions->text, device.gateBinding->conditions->isOr,
                         device.gateBinding->conditions->conditions));
    }

    std::map<std::string, std::int32_t> registered;
    for (const auto& [reference, variable] : variableRegistry.entries()) registered[reference] = variable->refCount;
    std::map<std::string, std::int32_t> registrable;
    for (const CheckedVariable& variable : check.variables) {
      if (variable.datum.registrable) registrable[variable.reference] = static_cast<std::int32_t>(variable.holders);
    }
    EXPECT_EQ(registrable, registered);
    unit.reset();
  }
}

}  // namespace
}  // namespace nimbra_profile
