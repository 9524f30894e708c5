// The checker's catalogue advice: a table of the mistakes authors make in
// variable references, each with its warning code and its suggestion; what
// must pass without a word (indexes where taken, case, a unit of the same
// dimension, the repository's own profiles); and the reading of the tables
// and the nearest-name search it rests on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue.h"
#include "catalogue_findings.h"
#include "closest_names.h"

namespace nimbra_profile {
namespace {

ProfileCheck CheckText(const std::string& text, const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() / ("nimbra_catalogue_" + name + ".json");
  std::ofstream(path, std::ios::binary) << text;
  ProfileCheck check = CheckProfile(path.string(), kSupportedUnitLedLimits);
  std::filesystem::remove(path);
  AddCatalogueFindings(check, Catalogue::BuiltIn());
  return check;
}

ProfileCheck CheckReference(const std::string& reference, const std::string& value, bool localVariables) {
  return CheckText(std::string("{") + (localVariables ? "\"LocalVariables\": true, " : "") +
                       "\"LEDs\": [{\"ByteIndex\": 1, \"BitIndex\": 0, \"Condition\": \"" + reference +
                       "\", \"ConditionValue\": \"" + value + "\"}]}",
                   std::to_string(std::hash<std::string>()(reference)));
}

TEST(CatalogueFindings, EachMistakeHasItsCodeAndSuggestion) {
  const struct {
    const char* reference;
    const char* value;
    bool localVariables;
    const char* code;        // empty: no finding
    bool note;
    const char* suggestion;  // the first one
  } cases[] = {
      {"A:GEAR HANDEL POSITION,Bool", "1", false, "unknown-variable", false, "A:GEAR HANDLE POSITION,Bool"},
      {"A:GEAR HANDLE POSITON,Bool", "1", false, "unknown-variable", false, "A:GEAR HANDLE POSITION,Bool"},
      {"A:ENG COMBUSTON:2,Bool", "1", false, "unknown-variable", false, "A:ENG COMBUSTION:2,Bool"},
      {"A:GEAR HANDLE POSITION,feet", ">0", false, "unit-dimension", false, "A:GEAR HANDLE POSITION,Bool"},
      {"A:PLANE ALT ABOVE GROUND,Bool", "1", false, "unit-dimension", false, "A:PLANE ALT ABOVE GROUND,feet"},
      {"A:PLANE ALT ABOVE GROUND,feets", ">0", false, "unknown-unit", false, "A:PLANE ALT ABOVE GROUND,feet"},
      {"A:PLANE ALT ABOVE GROUND, feets", ">0", false, "unknown-unit", false, "A:PLANE ALT ABOVE GROUND,feet"},
      {"A:LIGHT TAXI:1,Bool", "1", false, "index-not-taken", false, "A:LIGHT TAXI,Bool"},
      {"L:MY_SWITCH,Bool", "1", false, "local-variables-off", false, "\"LocalVariables\": true"},
      {"L:MY_SWITCH,Bool", "1", true, "local-variable-unchecked", true, nullptr},
      {"A:ENG COMBUSTION:1,Bool", "1", false, "", false, nullptr},
      {"A:Gear Handle Position,bool", "1", false, "", false, nullptr},
      {"A:GEAR HANDLE POSITION,percent over 100", ">0", false, "", false, nullptr},
      {"A:PLANE ALT ABOVE GROUND,  meter  ", ">0", false, "", false, nullptr},
      {"A:PLANE ALT ABOVE GROUND,meters", ">0", false, "", false, nullptr},  // filed under Torque, plural of a Length
      {"A:PLANE ALT ABOVE GROUND,foot pound", ">0", false, "unit-dimension", false,
       "A:PLANE ALT ABOVE GROUND,feet"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference);
    const ProfileCheck check = CheckReference(c.reference, c.value, c.localVariables);
    ASSERT_EQ(check.variables.size(), 1u);
    const std::vector<Finding>& findings = check.variables[0].findings;
    if (*c.code == '\0') {
      EXPECT_TRUE(findings.empty()) << findings.front().code << ": " << findings.front().message;
      EXPECT_EQ(check.Status(), 0);
      continue;
    }
    ASSERT_EQ(findings.size(), 1u) << findings.back().code;
    EXPECT_EQ(findings[0].code, c.code);
    EXPECT_EQ(findings[0].note, c.note);
    EXPECT_EQ(check.Status(), c.note ? 0 : 1);
    if (c.suggestion != nullptr) {
      ASSERT_FALSE(findings[0].suggestions.empty());
      EXPECT_EQ(findings[0].suggestions[0], c.suggestion);
    }
  }
}

TEST(CatalogueFindings, ANameAndAUnitBothWrongGetTwoWarnings) {
  const ProfileCheck check = CheckReference("A:GEAR HANDEL POSITION,boool", "1", false);
  ASSERT_EQ(check.variables.size(), 1u);
  std::vector<std::string> codes;
  for (const Finding& finding : check.variables[0].findings) codes.push_back(finding.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"unknown-variable", "unknown-unit"}));
}

// Except the one the demo misspells on purpose, to show what the simulator
// and the bridge make of it.
TEST(CatalogueFindings, TheRepositorysOwnProfilesGetNoWarning) {
  const std::filesystem::path root = std::filesystem::path(NIMBRA_TESTS_DIR).parent_path();
  const std::string demo = (root / "demo/corvane_profiles/Demo_Trainer/Velk_Throttle_Config.json").string();
  std::vector<std::filesystem::path> profiles = {demo, root / "docs/examples/Velk_Throttle_Config.json"};
  for (const auto& file : std::filesystem::directory_iterator(root / "tests/profiles/valid")) {
    profiles.push_back(file.path());
  }
  for (const auto& path : profiles) {
    ProfileCheck check = CheckProfile(path.string(), kSupportedUnitLedLimits);
    AddCatalogueFindings(check, Catalogue::BuiltIn());
    EXPECT_EQ(check.Status(), path == demo ? 1 : 0) << path;
    for (const CheckedVariable& variable : check.variables) {
      for (const Finding& finding : variable.findings) {
        if (path == demo && variable.reference == "A:LIGHT BEACNO,Bool" && finding.code == kUnknownVariable) continue;
        EXPECT_TRUE(finding.note) << path << ": " << variable.reference << ": " << finding.message;
      }
    }
  }
}

TEST(Catalogue, TheBuiltInTablesAreComplete) {
  const Catalogue& catalogue = Catalogue::BuiltIn();
  EXPECT_EQ(catalogue.VariableNames().size(), 1259u);
  ASSERT_NE(catalogue.FindVariable(" eng combustion "), nullptr);
  EXPECT_TRUE(catalogue.FindVariable("ENG COMBUSTION")->indexed);
  EXPECT_EQ(catalogue.FindVariable("GEAR HANDLE POSITION")->unit, "Bool");
  ASSERT_NE(catalogue.UnitDimension("FEET"), nullptr);
  EXPECT_EQ(*catalogue.UnitDimension("FEET"), "Length");
  EXPECT_EQ(catalogue.UnitDimension("furlongs"), nullptr);
}

TEST(Catalogue, MalformedLinesArePassedOver) {
  const Catalogue catalogue = Catalogue::Parse(
      "# comment\nname,unit,dimension,indexed\nGOOD,Bool,Misc,1\r\nSHORT,Bool,Misc\nBAD INDEX,Bool,Misc,2\n"
      ",Bool,Misc,0\nGOOD,feet,Length,0\nEXTRA,a,b,0,c\n",
      "unit,dimension\nfeet,Length\nno dimension\n");
  EXPECT_EQ(catalogue.VariableNames(), std::vector<std::string>{"GOOD"});
  EXPECT_EQ(catalogue.FindVariable("good")->unit, "Bool");  // the first of a repeated name counts
  EXPECT_EQ(catalogue.UnitNames(), std::vector<std::string>{"feet"});
}

TEST(ClosestNames, NearestFirstAndNothingFarAway) {
  const struct {
    const char* a;
    const char* b;
    std::size_t distance;
  } distances[] = {{"HANDLE", "HANDEL", 1}, {"gear", "GEAR", 0}, {"", "ABC", 3}, {"KITTEN", "SITTING", 3},
                   {"AB", "BA", 1}, {"ABC", "CA", 3}};
  for (const auto& d : distances) EXPECT_EQ(EditDistance(d.a, d.b), d.distance) << d.a << " " << d.b;

  const std::vector<std::string> known = {"LIGHT TAXI", "LIGHT NAV", "LIGHT LANDING", "GEAR HANDLE POSITION"};
  EXPECT_EQ(ClosestNames("LIGHT NAB", known), (std::vector<std::string>{"LIGHT NAV", "LIGHT TAXI"}));
  EXPECT_EQ(ClosestNames("LIGHT NAB", known, 1), std::vector<std::string>{"LIGHT NAV"});
  EXPECT_TRUE(ClosestNames("AIRSPEED TRUE", known).empty());
}

}  // namespace
}  // namespace nimbra_profile
