// The condition members of an LED entry: value texts, the pairing of
// ";"-separated lists, and the order and logic of the resulting list.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <rapidjson/document.h>

#include "profiles/condition_members.h"

namespace {

rapidjson::Document Json(const std::string& text) {
  rapidjson::Document document;
  document.Parse(text.c_str(), text.size());
  EXPECT_FALSE(document.HasParseError()) << text;
  return document;
}

std::string ValueText(const std::string& json) {
  rapidjson::Document document = Json(json);
  return ConditionValueText(document);
}

TEST(ConditionValueText, FollowsTheJsonType) {
  EXPECT_EQ(ValueText("true"), "1");
  EXPECT_EQ(ValueText("false"), "0");
  EXPECT_EQ(ValueText("1500"), "1500");
  EXPECT_EQ(ValueText("-7"), "-7");
  EXPECT_EQ(ValueText("-2147483648"), "-2147483648");
  EXPECT_EQ(ValueText("2147483647"), "2147483647");
  EXPECT_EQ(ValueText("2147483648"), "2147483648");
  EXPECT_EQ(ValueText("4294967295"), "4294967295");
  // Floating point: six decimals, whatever was written.
  EXPECT_EQ(ValueText("2.5"), "2.500000");
  EXPECT_EQ(ValueText("1.0"), "1.000000");
  EXPECT_EQ(ValueText("-0.0000004"), "-0.000000");
  EXPECT_EQ(ValueText("1e3"), "1000.000000");
  EXPECT_EQ(ValueText("0.1234567"), "0.123457");
  EXPECT_EQ(ValueText("1e20"), "100000000000000000000.000000");
  EXPECT_EQ(ValueText("100000000000000000000"), "100000000000000000000.000000");  // beyond 64 bits
  EXPECT_EQ(ValueText("1.7976931348623157e308").size(), 309u + 7u);
  // Integers that need 64 bits, and the types without a value text.
  EXPECT_EQ(ValueText("5000000000"), "");
  EXPECT_EQ(ValueText("4294967296"), "");
  EXPECT_EQ(ValueText("-2147483649"), "");
  EXPECT_EQ(ValueText("18446744073709551615"), "");
  EXPECT_EQ(ValueText("null"), "");
  EXPECT_EQ(ValueText("[1]"), "");
  EXPECT_EQ(ValueText("{\"a\":1}"), "");
  // Strings end at an escaped zero character.
  EXPECT_EQ(ValueText("\">=12\""), ">=12");
  EXPECT_EQ(ValueText("\"1\\u00002\""), "1");
  EXPECT_EQ(ValueText("\"\""), "");
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The pairs the walk hands out, read back from the conditions it made: the
// references carry their own index and the units "feet", the values are
// plain numbers.
Pairs Walk(const std::string& references, const std::string& values) {
  std::vector<Condition> out;
  SplitConditionPairs(references, values, out);
  Pairs pairs;
  for (const Condition& c : out) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", c.expectedNumber);
    pairs.emplace_back(c.reference, number);
  }
  return pairs;
}

TEST(SplitConditionPairs, PairsByPositionUntilOneSideRunsOut) {
  const std::string r1 = "A:R1,feet", r2 = "A:R2,feet", r3 = "A:R3,feet";
  EXPECT_EQ(Walk(r1 + ";" + r2 + ";" + r3, "1;2;3"), (Pairs{{r1, "1"}, {r2, "2"}, {r3, "3"}}));
  EXPECT_EQ(Walk(r1 + ";" + r2 + ";" + r3, "1;2"), (Pairs{{r1, "1"}, {r2, "2"}}));
  EXPECT_EQ(Walk(r1 + ";" + r2, "1;2;3"), (Pairs{{r1, "1"}, {r2, "2"}}));
  EXPECT_EQ(Walk(r1 + ";;" + r2, "1;2;3"), (Pairs{{r1, "1"}}));
  EXPECT_EQ(Walk(r1 + ";" + r2, "1;;3"), (Pairs{{r1, "1"}}));
  EXPECT_EQ(Walk(r1 + ";", "1;"), (Pairs{{r1, "1"}}));
  EXPECT_EQ(Walk(";" + r1, ";1"), (Pairs{{r1, "1"}}));
  EXPECT_EQ(Walk(";;" + r1, ";;1"), (Pairs{}));
  // A pair that makes no condition is dropped; the walk goes on.
  EXPECT_EQ(Walk(r1 + ";A:bad;" + r3, "1;2;3"), (Pairs{{r1, "1"}, {r3, "3"}}));
  EXPECT_EQ(Walk(r1 + ";" + r2, "x;2"), (Pairs{{r2, "2"}}));
}

TEST(SplitConditionPairs, WithoutSeparatorsOnBothSidesThePairStaysWhole) {
  // The ";" stays inside the reference; its units text decides the type.
  std::vector<Condition> out;
  SplitConditionPairs("A:R1,feet;A:R2,feet", "1", out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].reference, "A:R1,feet;A:R2,feet");
  EXPECT_EQ(out[0].valueType, ValueType::Number);
  EXPECT_EQ(out[0].expectedNumber, 1.0);

  out.clear();
  SplitConditionPairs("A:R1,feet", "1;2", out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].expectedNumber, 1.0);  // strtod stops at the ";"

  out.clear();
  // Units "BOOL;A:R2,BOOL" are no Bool: "TRUE" is then no number, "1" is.
  SplitConditionPairs("A:R1,Bool;A:R2,Bool", "TRUE", out);
  EXPECT_TRUE(out.empty());
  SplitConditionPairs("A:R1,Bool;A:R2,Bool", "1", out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].valueType, ValueType::Number);

  out.clear();
  SplitConditionPairs("", "1;2", out);
  SplitConditionPairs("A:X,feet;A:Y,feet", "", out);
  EXPECT_TRUE(out.empty());
}

std::vector<Condition> Parse(const std::string& json, std::string* logic = nullptr) {
  rapidjson::Document document = Json(json);
  ParsedConditions parsed = ParseConditions(document, nullptr);
  if (logic != nullptr) *logic = parsed.logic;
  return parsed.conditions;
}

TEST(ParseConditions, SingleFormWithEveryValueType) {
  auto on = Parse(R"({"Condition":"A:GEAR HANDLE POSITION,Bool","ConditionValue":true})");
  ASSERT_EQ(on.size(), 1u);
  EXPECT_EQ(on[0].reference, "A:GEAR HANDLE POSITION,Bool");
  EXPECT_EQ(on[0].valueType, ValueType::Bool);
  EXPECT_EQ(on[0].op, ComparisonOp::Equal);
  EXPECT_EQ(on[0].expectedInt, 1);
  EXPECT_EQ(Parse(R"({"Condition":"A:GEAR HANDLE POSITION,Bool","ConditionValue":false})")[0].expectedInt, 0);

  auto altitude = Parse(R"({"Condition":"A:INDICATED ALTITUDE,feet","ConditionValue":1500})");
  ASSERT_EQ(altitude.size(), 1u);
  EXPECT_EQ(altitude[0].valueType, ValueType::Number);
  EXPECT_EQ(altitude[0].expectedNumber, 1500.0);
  EXPECT_EQ(Parse(R"({"Condition":"A:X,feet","ConditionValue":2.5})")[0].expectedNumber, 2.5);
  // 1.0 becomes "1.000000", which a Bool reads as 1.
  auto flag = Parse(R"({"Condition":"A:X,Bool","ConditionValue":1.0})");
  ASSERT_EQ(flag.size(), 1u);
  EXPECT_EQ(flag[0].expectedInt, 1);
  EXPECT_EQ(Parse(R"({"Condition":"A:X,feet","ConditionValue":"<=-3"})")[0].op, ComparisonOp::LessOrEqual);

  for (const char* value : {"null", "{}", "[1]", "5000000000", "\"\"", "-9223372036854775808"}) {
    EXPECT_TRUE(Parse(std::string(R"({"Condition":"A:X,feet","ConditionValue":)") + value + "}").empty()) << value;
  }
  // "Condition" must be a non-empty string, and "ConditionValue" present.
  for (const char* reference : {"1", "true", "null", "[\"A:X,feet\"]", "\"\""}) {
    EXPECT_TRUE(Parse(std::string(R"({"Condition":)") + reference + R"(,"ConditionValue":1})").empty()) << reference;
  }
  EXPECT_TRUE(Parse(R"({"Condition":"A:X,feet"})").empty());
  EXPECT_TRUE(Parse(R"({"ConditionValue":1})").empty());
}

TEST(ParseConditions, SingleFormFirstThenTheListInOrder) {
  auto all = Parse(R"({
    "Conditions":[
      {"Condition":"A:B,feet","ConditionValue":2},
      7,
      {"Condition":"A:NOVALUE,feet"},
      {"ConditionValue":3},
      {"Condition":5,"ConditionValue":3},
      [],
      {"Condition":"A:C,feet;A:D,feet","ConditionValue":"3;4","ConditionLogic":"OR"},
      {"Condition":"A:E,feet","ConditionValue":null},
      {"Condition":"A:F,feet","ConditionValue":6}
    ],
    "Condition":"A:A,feet","ConditionValue":1})");
  std::vector<std::string> references;
  for (const Condition& c : all) references.push_back(c.reference);
  EXPECT_EQ(references, (std::vector<std::string>{"A:A,feet", "A:B,feet", "A:C,feet", "A:D,feet", "A:F,feet"}));
}

TEST(ParseConditions, ListOfTheWrongTypeIsIgnored) {
  auto one = Parse(R"({"Condition":"A:A,feet","ConditionValue":1,
                       "Conditions":{"Condition":"A:B,feet","ConditionValue":2}})");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].reference, "A:A,feet");
  EXPECT_TRUE(Parse(R"({"Conditions":"A:B,feet"})").empty());
}

TEST(ParseConditions, LogicIsTheEntrysOwnString) {
  std::string logic = "unchanged";
  Parse(R"({"ConditionLogic":"||"})", &logic);
  EXPECT_EQ(logic, "||");
  Parse(R"({"ConditionLogic":"OR"})", &logic);
  EXPECT_EQ(logic, "OR");
  Parse(R"({"ConditionLogic":"or"})", &logic);
  EXPECT_EQ(logic, "or");
  Parse(R"({"ConditionLogic":1})", &logic);
  EXPECT_EQ(logic, "");
  Parse(R"({"Conditions":[{"ConditionLogic":"OR"}]})", &logic);
  EXPECT_EQ(logic, "");
}

TEST(ParseConditions, RepeatedKeysUseTheFirstAndNonObjectsGiveNothing) {
  auto first = Parse(R"({"Condition":"A:A,feet","Condition":"A:B,feet","ConditionValue":1,"ConditionValue":2})");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].reference, "A:A,feet");
  EXPECT_EQ(first[0].expectedNumber, 1.0);

  for (const char* entry : {"[]", "null", "1", "\"A:X,feet\"", "true"}) {
    rapidjson::Document document = Json(entry);
    ParsedConditions parsed = ParseConditions(document, nullptr);
    EXPECT_TRUE(parsed.conditions.empty()) << entry;
    EXPECT_EQ(parsed.logic, "") << entry;
  }
}

}  // namespace
