// The checker's reading of a profile: the reason given for each kind of
// entry or condition the bridge passes over, the warnings on entries it
// accepts, and the load failure with its line and column and no message box.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "profile_check.h"
#include "support/boxes.h"

namespace nimbra_profile {
namespace {

std::string SourceOf(const PassedOverPair& pair) {
  return pair.source.inList ? "Conditions[" + std::to_string(pair.source.element) + "]" : "Condition";
}

class ProfileCheckTest : public ::testing::Test {
 protected:
  ProfileCheck Check(const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("nimbra_profile_check_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".json");
    std::ofstream(path, std::ios::binary) << text;
    ProfileCheck check = CheckProfile(path.string(), kSupportedUnitLedLimits);
    std::filesystem::remove(path);
    return check;
  }
  ProfileCheck CheckEntry(const std::string& entry) { return Check("{\"LEDs\": [" + entry + "]}"); }
};

TEST_F(ProfileCheckTest, EachPassedOverEntryHasItsReason) {
  const std::string gear = R"("Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true)";
  const struct {
    std::string entry;
    std::string reason;
  } cases[] = {
      {"7", "not an object"},
      {R"({"ByteIndex": 1, "BitIndex": 0})", "no condition"},
      {R"({"BitIndex": 0, )" + gear + "}", "\"ByteIndex\" missing"},
      {R"({"ByteIndex": 1.0, "BitIndex": 0, )" + gear + "}", "\"ByteIndex\" not an unsigned integer"},
      {R"({"ByteIndex": "1", "BitIndex": 0, )" + gear + "}", "\"ByteIndex\" not an unsigned integer"},
      {R"({"ByteIndex": -1, "BitIndex": 0, )" + gear + "}", "\"ByteIndex\" not an unsigned integer"},
      {R"({"ByteIndex": 5, "BitIndex": 0, )" + gear + "}", "\"ByteIndex\" 5 is above 4"},
      {R"({"ByteIndex": 1, )" + gear + "}", "\"BitIndex\" missing"},
      {R"({"ByteIndex": 3, "BitIndex": 8, )" + gear + "}", "\"BitIndex\" 8 is above 7"},
      {R"({"ByteIndex": 4, "BitIndex": 4, )" + gear + "}", "\"BitIndex\" 4 is above 3 in byte 4"},
      {R"({"ByteIndex": 0, "BitIndex": 1, )" + gear + "}", "byte 0 holds only the gate, at bit 0"},
      {R"({"ByteIndex": 4, "BitIndex": 3, )" + gear + "}", ""},
  };
  for (const auto& c : cases) {
    const ProfileCheck check = CheckEntry(c.entry);
    ASSERT_EQ(check.entries.size(), 1u) << c.entry;
    EXPECT_EQ(check.entries[0].outcome.accepted, c.reason.empty()) << c.entry;
    EXPECT_EQ(check.entries[0].outcome.whyNot, c.reason) << c.entry;
    EXPECT_EQ(check.Status(), c.reason.empty() ? 0 : 1) << c.entry;
  }
}

TEST_F(ProfileCheckTest, EachPassedOverConditionHasItsReason) {
  const struct {
    std::string members;
    std::string source;
    std::string reason;
  } cases[] = {
      {R"("Condition": "A:X", "ConditionValue": 1)", "Condition", "reference has no ',' before its units"},
      {R"("Condition": "A:X, ", "ConditionValue": 1)", "Condition", "reference has empty units"},
      {R"("Condition": "A:X,Bool", "ConditionValue": "true")", "Condition", "Bool value is not TRUE, FALSE, 0 or 1"},
      {R"("Condition": "A:X,Bool", "ConditionValue": 2)", "Condition", "Bool value is not TRUE, FALSE, 0 or 1"},
      {R"("Condition": "A:X,feet", "ConditionValue": "1e999")", "Condition", "Number value is not a number or out of range"},
      {R"("Condition": "A:X,feet", "ConditionValue": "!=")", "Condition", "Number value is not a number or out of range"},
      {R"("Condition": "L:M,Char", "ConditionValue": "A")", "Condition", "Char reference does not begin with \"(L:\""},
      {R"("Condition": "(L:M,Char", "ConditionValue": "AB")", "Condition", "Char value is not one ASCII character"},
      {R"("Condition": "A:X,feet", "ConditionValue": null)", "Condition", "\"ConditionValue\" is null"},
      {R"("Condition": "A:X,feet", "ConditionValue": 5000000000)", "Condition", "\"ConditionValue\" is an integer beyond 32 bits"},
      {R"("Condition": "A:X,feet", "ConditionValue": "")", "Condition", "\"ConditionValue\" is an empty text"},
      {R"("Condition": "A:X,feet", "ConditionValue": [1])", "Condition", "\"ConditionValue\" is an array"},
      {R"("Condition": "", "ConditionValue": 1)", "Condition", "\"Condition\" is empty"},
      {R"("Condition": 3, "ConditionValue": 1)", "Condition", "\"Condition\" is not a string"},
      {R"("Condition": "A:X,feet")", "Condition", "\"Condition\" without \"ConditionValue\""},
      {R"("ConditionValue": 1)", "Condition", "\"ConditionValue\" without \"Condition\""},
      {R"("Conditions": {"Condition": "A:X,feet", "ConditionValue": 1})", "Condition", "\"Conditions\" is not an array"},
      {R"("Conditions": [3])", "Conditions[0]", "element is not an object"},
      {R"("Conditions": [{"Condition": "A:X,feet", "ConditionValue": 1}, {}])", "Conditions[1]", "element has no \"Condition\""},
      {R"("Condition": "A:X,feet;A:Y,feet;A:Z,feet", "ConditionValue": "1;2")", "Condition",
       "no partner left: the other side ran out of ';' parts"},
      {R"("Condition": "A:X,feet;;A:Z,feet", "ConditionValue": "1;2;3")", "Condition", "an empty ';' part ends the pairing"},
  };
  for (const auto& c : cases) {
    const ProfileCheck check = CheckEntry(R"({"ByteIndex": 1, "BitIndex": 0, )" + c.members + "}");
    ASSERT_EQ(check.entries.size(), 1u) << c.members;
    const auto& pairs = check.entries[0].pairsPassedOver;
    ASSERT_EQ(pairs.size(), 1u) << c.members;
    EXPECT_EQ(SourceOf(pairs[0]), c.source) << c.members;
    EXPECT_EQ(pairs[0].whyNot, c.reason) << c.members;
    EXPECT_EQ(check.Status(), 1) << c.members;
  }
}

TEST_F(ProfileCheckTest, WarningsOnWhatLoads) {
  const ProfileCheck check = Check(R"({"Language": 3, "LEDs": [
      {"ByteIndex": 0, "BitIndex": 0, "Condition": "A:G,Bool", "ConditionValue": 1},
      {"ByteIndex": 1, "BitIndex": 0, "Condition": "A:X,Bool;A:Y,Bool", "ConditionValue": 1, "ConditionLogic": "or"},
      {"ByteIndex": 1, "BitIndex": 0, "Condition": "L:Z,Bool", "ConditionValue": 1},
      {"ByteIndex": 0, "BitIndex": 0, "Condition": "A:H,Bool", "ConditionValue": 1}]})");
  ASSERT_FALSE(check.failure);
  EXPECT_EQ(check.warnings, std::vector<std::string>{"\"Language\" is not a string and is passed over"});
  EXPECT_EQ(check.entries[1].warnings,
            (std::vector<std::string>{"\"ConditionLogic\" \"or\" means all-of; only \"OR\" or \"||\" select any-of",
                                      "\"A:X,Bool;A:Y,Bool\" is read as one reference: its value text has no ';'"}));
  EXPECT_EQ(check.entries[3].warnings, std::vector<std::string>{"replaces the gate of entry 0"});
  EXPECT_EQ(check.gateEntry, std::optional<std::size_t>(3));
  ASSERT_EQ(check.duplicates.size(), 1u);
  EXPECT_EQ(check.duplicates[0].entries, (std::vector<std::size_t>{1, 2}));
  std::vector<std::string> refused;
  for (const CheckedVariable& variable : check.variables) {
    if (!variable.datum.registrable) refused.push_back(variable.reference + ": " + variable.datum.whyNot);
  }
  EXPECT_EQ(refused, std::vector<std::string>{
                         "L:Z,Bool: begins with \"L:\", which needs \"LocalVariables\": true in the profile"});
  EXPECT_EQ(check.Status(), 1);
}

// The logic warning follows the bridge's reading: only the texts the bridge
// reads as any-of, and those that say all-of outright, pass without a word.
TEST_F(ProfileCheckTest, LogicTextsWarnWhenTheBridgeReadsAllOfUnasked) {
  const struct {
    const char* logic;  // the member's JSON value
    bool isOr;
    const char* warning;  // empty: none
  } cases[] = {
      {R"("OR")", true, ""},
      {R"("||")", true, ""},
      {R"("AND")", false, ""},
      {R"("&&")", false, ""},
      {R"("or")", false, R"("ConditionLogic" "or" means all-of; only "OR" or "||" select any-of)"},
      {R"(" OR")", false, R"("ConditionLogic" " OR" means all-of; only "OR" or "||" select any-of)"},
      {R"("")", false, R"("ConditionLogic" "" means all-of; only "OR" or "||" select any-of)"},
      {"1", false, R"("ConditionLogic" is not a string: all conditions must hold)"},
  };
  for (const auto& c : cases) {
    const ProfileCheck check = CheckEntry(std::string(R"({"ByteIndex": 1, "BitIndex": 0, "Condition": "A:X,Bool",)"
                                                      R"( "ConditionValue": 1, "ConditionLogic": )") +
                                          c.logic + "}");
    ASSERT_EQ(check.entries.size(), 1u);
    EXPECT_EQ(check.entries[0].outcome.isOr, c.isOr) << c.logic;
    const std::vector<std::string> expected =
        *c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{};
    EXPECT_EQ(check.entries[0].warnings, expected) << c.logic;
  }
}

// Every accepted gate replaces the one before; a passed-over gate entry
// replaces nothing.
TEST_F(ProfileCheckTest, TheLastAcceptedGateStands) {
  const std::string gate = R"({"ByteIndex": 0, "BitIndex": 0, "Condition": "A:G,Bool", "ConditionValue": 1})";
  const std::string brokenGate = R"({"ByteIndex": 0, "BitIndex": 0})";
  const ProfileCheck check = Check("{\"LEDs\": [" + gate + ", " + brokenGate + ", " + gate + ", " + gate + "]}");
  ASSERT_EQ(check.entries.size(), 4u);
  EXPECT_EQ(check.gateEntry, std::optional<std::size_t>(3));
  EXPECT_EQ(check.entries[1].warnings, std::vector<std::string>{});
  EXPECT_EQ(check.entries[2].warnings, std::vector<std::string>{"replaces the gate of entry 0"});
  EXPECT_EQ(check.entries[3].warnings, std::vector<std::string>{"replaces the gate of entry 2"});
  ASSERT_EQ(check.variables.size(), 1u);
  EXPECT_EQ(check.variables[0].holders, 1u);  // only the standing gate holds it
}

// "Blink" read otherwise than written gets a coded warning naming what the
// bridge does instead; a rate it shows gets none.
TEST_F(ProfileCheckTest, BlinkValuesTheBridgeDoesNotShowAsWrittenAreWarnedOf) {
  const struct {
    const char* position;
    const char* blink;
    const char* code;  // empty: no finding
    const char* message;
  } cases[] = {
      {"1, \"BitIndex\": 0", "1.5", "", ""},
      {"1, \"BitIndex\": 0", "true", "", ""},
      {"1, \"BitIndex\": 0", "2", "blink-rounded",
       "\"Blink\" 2 Hz is not a rate the unit shows: it blinks at 1.5 Hz (2 of the six refreshes a second lit, as "
       "many dark)"},
      {"1, \"BitIndex\": 0", "0.05", "blink-rounded",
       "\"Blink\" 0.05 Hz is not a rate the unit shows: it blinks at 0.5 Hz (6 of the six refreshes a second lit, as "
       "many dark)"},
      {"1, \"BitIndex\": 0", "false", "blink-ignored", "\"Blink\" is false: the LED is steady, as without it"},
      {"1, \"BitIndex\": 0", "-2", "blink-ignored",
       "\"Blink\" is not a positive rate: the LED is steady, as without it"},
      {"1, \"BitIndex\": 0", "\"1 Hz\"", "blink-ignored",
       "\"Blink\" is not true or a number: the LED is steady, as without it"},
      {"0, \"BitIndex\": 0", "1", "blink-on-gate", "\"Blink\" on the gate is ignored: the gate never blinks"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blink);
    const ProfileCheck check = CheckEntry(std::string("{\"ByteIndex\": ") + c.position +
                                          ", \"Condition\": \"A:X,Bool\", \"ConditionValue\": 1, \"Blink\": " +
                                          c.blink + "}");
    ASSERT_EQ(check.entries.size(), 1u);
    const std::vector<Finding>& findings = check.entries[0].findings;
    if (*c.code == '\0') {
      EXPECT_TRUE(findings.empty());
      EXPECT_EQ(check.Status(), 0);
      continue;
    }
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].code, c.code);
    EXPECT_EQ(findings[0].message, c.message);
    EXPECT_EQ(check.Status(), 1);
  }
}

TEST_F(ProfileCheckTest, LoadFailuresGoToTheCheckerNotToABox) {
  const struct {
    std::string text;
    std::size_t line, column;
  } cases[] = {
      {"{ \"SaveName\": \"x\",\n  \"LEDs\": [ }", 2, 14},
      {"{\n\n   \"a\": 1,\n}", 4, 2},  // RapidJSON's offset is past the '}'
      {"\xEF\xBB\xBF{\n\"a\": \xFF}", 2, 7},   // not UTF-8; the mark counts as bytes
      {"", 1, 1},
  };
  for (const auto& c : cases) {
    if (testsupport::kBoxesOnStderr) ::testing::internal::CaptureStderr();
    const ProfileCheck check = Check(c.text);
    if (testsupport::kBoxesOnStderr) {
      EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    ASSERT_TRUE(check.failure) << c.text;
    EXPECT_TRUE(check.failure->parseError);
    EXPECT_EQ(check.line, c.line) << c.text;
    EXPECT_EQ(check.column, c.column) << c.text;
    EXPECT_EQ(check.Status(), 2);
  }
  const ProfileCheck missing = CheckProfile("no/such/profile.json", kSupportedUnitLedLimits);
  ASSERT_TRUE(missing.failure);
  EXPECT_EQ(missing.failure->message, "JSON file 'no/such/profile.json' could not be opened.");
  EXPECT_EQ(missing.Status(), 2);
}

}  // namespace
}  // namespace nimbra_profile
