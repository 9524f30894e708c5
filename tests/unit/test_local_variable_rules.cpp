// The rules that decide whether and how a local ("L:") reference is watched:
// the profile member that turns them on, and the datum a reference becomes
// with the member and without it.
#include <gtest/gtest.h>

#include <string>

#include <rapidjson/document.h>

#include "profiles/condition.h"
#include "profiles/profile_files.h"
#include "variables/variable_datum.h"

namespace {

TEST(LocalVariablesMember, OnlyTrueTurnsThemOn) {
  const struct {
    const char* profile;
    bool on;
  } cases[] = {
      {R"({"LocalVariables": true})", true},      {R"({"LocalVariables": false})", false},
      {R"({})", false},                            {R"({"LocalVariables": "true"})", false},
      {R"({"LocalVariables": 1})", false},        {R"({"LocalVariables": null})", false},
      {R"({"LocalVariables": [true]})", false},   {R"({"LocalVariables": {}})", false},
      {R"({"localvariables": true})", false},     {R"([true])", false},
      {R"({"LocalVariables": true, "LocalVariables": false})", true},  // the first of a repeated name counts
  };
  for (const auto& c : cases) {
    rapidjson::Document profile;
    profile.Parse(c.profile);
    ASSERT_FALSE(profile.HasParseError()) << c.profile;
    EXPECT_EQ(LocalVariablesOn(profile), c.on) << c.profile;
  }
}

TEST(LocalVariableDatum, TheReferenceWithAndWithoutTheMember) {
  const std::string longName = "L:" + std::string(298, 'X');
  const struct {
    std::string reference;
    ValueType type;
    bool localVariables;
    const char* name;  // null: refused
    const char* unit;
    SIMCONNECT_DATATYPE datumType;
    const char* whyNot;
  } cases[] = {
      {"L:DEMO_CAUTION,Bool", ValueType::Bool, true, "L:DEMO_CAUTION", "Bool", SIMCONNECT_DATATYPE_FLOAT64, ""},
      {"L:DEMO_LEVEL,Number", ValueType::Number, true, "L:DEMO_LEVEL", "Number", SIMCONNECT_DATATYPE_FLOAT64, ""},
      {"L:A32NX_ENGINE_STATE:1,number", ValueType::Number, true, "L:A32NX_ENGINE_STATE:1", "number",
       SIMCONNECT_DATATYPE_FLOAT64, ""},
      {"L:X,  Bool", ValueType::Bool, true, "L:X", "Bool", SIMCONNECT_DATATYPE_FLOAT64, ""},
      {longName + ",Bool", ValueType::Bool, true, longName.c_str(), "Bool", SIMCONNECT_DATATYPE_FLOAT64, ""},
      {"A:LIGHT TAXI,Bool", ValueType::Bool, true, "LIGHT TAXI", "Bool", SIMCONNECT_DATATYPE_INT32, ""},
      {"A:LIGHT TAXI,Bool", ValueType::Bool, false, "LIGHT TAXI", "Bool", SIMCONNECT_DATATYPE_INT32, ""},
      {"L:DEMO_CAUTION,Bool", ValueType::Bool, false, nullptr, "", SIMCONNECT_DATATYPE_INVALID,
       "begins with \"L:\", which needs \"LocalVariables\": true in the profile"},
      {"L:,Bool", ValueType::Bool, true, nullptr, "", SIMCONNECT_DATATYPE_INVALID, "has no name after \"L:\""},
      {"L:X", ValueType::Bool, true, nullptr, "", SIMCONNECT_DATATYPE_INVALID, "has no ',' before its unit"},
      {"l:X,Bool", ValueType::Bool, true, nullptr, "", SIMCONNECT_DATATYPE_INVALID, "does not begin with \"A:\""},
      {"L:X,String", ValueType::String, true, nullptr, "", SIMCONNECT_DATATYPE_INVALID, "is neither Bool nor Number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference.substr(0, 40));
    const VariableDatum datum = DatumOf(c.reference, c.type, c.localVariables);
    EXPECT_EQ(datum.registrable, c.name != nullptr);
    EXPECT_EQ(datum.name, c.name != nullptr ? c.name : "");
    EXPECT_EQ(datum.unit, c.unit);
    EXPECT_EQ(datum.type, c.datumType);
    EXPECT_EQ(datum.whyNot, c.whyNot);
  }
}

TEST(LocalVariableDatum, AReferenceWithoutACommaOrUnitsMakesNoCondition) {
  for (const char* reference : {"L:DEMO_CAUTION", "L:DEMO_CAUTION,", "L:DEMO_CAUTION, "}) {
    EXPECT_FALSE(MakeCondition(reference, "TRUE").made) << reference;
  }
  // Blanks go from every reference not beginning with "A:", so from local ones too.
  EXPECT_EQ(MakeCondition("L:MY VAR, Bool", "TRUE").condition.reference, "L:MYVAR,Bool");
}

}  // namespace
