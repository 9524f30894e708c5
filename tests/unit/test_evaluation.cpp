// Comparing conditions with variable values, and combining them into one LED
// decision. Sets whose variables are registered with a simulator are
// exercised against simhost in the integration tests.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/boxes.h"
#include "app/process_state.h"
#include "profiles/condition.h"
#include "profiles/evaluation.h"
#include "variables/variable_registry.h"

namespace {

using testsupport::kBoxesOnStderr;

Condition Cond(ValueType type, ComparisonOp op, std::int32_t expectedInt, double expectedNumber = 0.0) {
  Condition c;
  c.reference = "A:X,unit";
  c.valueType = type;
  c.op = op;
  c.expectedInt = expectedInt;
  c.expectedNumber = expectedNumber;
  return c;
}

SimVariable BoolVariable(std::int32_t value) {
  SimVariable v;
  v.valueType = ValueType::Bool;
  v.intValue = std::make_unique<std::int32_t>(value);
  return v;
}

SimVariable NumberVariable(double value) {
  SimVariable v;
  v.valueType = ValueType::Number;
  v.floatValue = std::make_unique<double>(value);
  return v;
}

const ComparisonOp kOps[] = {ComparisonOp::Equal, ComparisonOp::NotEqual, ComparisonOp::Greater,
                             ComparisonOp::GreaterOrEqual, ComparisonOp::Less, ComparisonOp::LessOrEqual};

TEST(CompareWithValue, BoolComparesSignedIntegers) {
  // Rows: value below, equal to and above the expected 0; columns in kOps order.
  const struct {
    std::int32_t value;
    bool results[6];
  } rows[] = {
      {-5, {false, true, false, false, true, true}},
      {0, {true, false, false, true, false, true}},
      {7, {false, true, true, true, false, false}},
  };
  for (const auto& row : rows) {
    const SimVariable variable = BoolVariable(row.value);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(CompareWithValue(Cond(ValueType::Bool, kOps[i], 0), variable), row.results[i])
          << "value " << row.value << " op " << static_cast<int>(kOps[i]);
    }
  }
  // Greater than 0 holds for any positive value the simulator delivers.
  EXPECT_TRUE(CompareWithValue(Cond(ValueType::Bool, ComparisonOp::Greater, 0), BoolVariable(2147483647)));
  EXPECT_FALSE(CompareWithValue(Cond(ValueType::Bool, ComparisonOp::Greater, 0), BoolVariable(-2147483647 - 1)));
}

TEST(CompareWithValue, NumberComparesDoublesWithNaNRules) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    double expected;
    bool results[6];
  } rows[] = {
      {4.5, 5, {false, true, false, false, true, true}},
      {5, 5, {true, false, false, true, false, true}},
      {5.0000001, 5, {false, true, true, true, false, false}},
      {-0.0, 0.0, {true, false, false, true, false, true}},
      {inf, 5, {false, true, true, true, false, false}},
      // NaN on either side: only "!=" holds.
      {nan, 5, {false, true, false, false, false, false}},
      {5, nan, {false, true, false, false, false, false}},
      {nan, nan, {false, true, false, false, false, false}},
  };
  for (const auto& row : rows) {
    const SimVariable variable = NumberVariable(row.value);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(CompareWithValue(Cond(ValueType::Number, kOps[i], 0, row.expected), variable), row.results[i])
          << row.value << " vs " << row.expected << " op " << static_cast<int>(kOps[i]);
    }
  }
}

TEST(CompareWithValue, CharAndStringNeverHold) {
  Condition text = Cond(ValueType::String, ComparisonOp::Equal, 0);
  Condition character = Cond(ValueType::Char, ComparisonOp::NotEqual, 65);
  const SimVariable asBool = BoolVariable(65);
  const SimVariable asNumber = NumberVariable(65);
  for (const SimVariable* variable : {&asBool, &asNumber}) {
    EXPECT_FALSE(CompareWithValue(text, *variable));
    EXPECT_FALSE(CompareWithValue(character, *variable));
  }
}

TEST(EvaluateConditionSet, EmptySetsHoldForBothLogics) {
  const ConditionSet allOf(variableRegistry, "all", {}, false);
  const ConditionSet anyOf(variableRegistry, "any", {}, true);
  EXPECT_TRUE(EvaluateConditionSet(allOf));
  EXPECT_TRUE(EvaluateConditionSet(anyOf));
}

// Without a simulator connection nothing can be registered: every condition
// finds no variable and is false, and each refusal is reported once.
TEST(EvaluateConditionSet, UnregisteredConditionsAreFalse) {
  ASSERT_EQ(simHandle, nullptr);
  const std::vector<Condition> conditions = {
      MakeCondition("A:GEAR HANDLE POSITION,Bool", "==0").condition,
      MakeCondition("(L:MODE,Char", "A").condition,
      MakeCondition("A:ATC ID,String", "!=").condition,
  };
  testing::internal::CaptureStderr();
  {
    const ConditionSet anyOf(variableRegistry, "any", conditions, true);
    const ConditionSet allOf(variableRegistry, "all", conditions, false);
    EXPECT_FALSE(EvaluateConditionSet(anyOf));
    EXPECT_FALSE(EvaluateConditionSet(allOf));
    for (const Condition& c : conditions) EXPECT_FALSE(EvaluateCondition(c, variableRegistry)) << c.reference;
    EXPECT_TRUE(variableRegistry.entries().empty());
  }
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    std::string expected;
    for (int set = 0; set < 2; ++set) {
      for (const Condition& c : conditions) {
        expected += "NimbraBridge: Could not add condition variable '" + c.reference + "' to MSFS processing.\n";
      }
    }
    EXPECT_EQ(boxes, expected);
  }
}

TEST(IsOrLogic, OnlyTheTwoExactTexts) {
  EXPECT_TRUE(IsOrLogic("OR"));
  EXPECT_TRUE(IsOrLogic("||"));
  for (const char* other : {"", "or", "Or", "AND", "&&", "|", " OR", "OR ", "||| "}) {
    EXPECT_FALSE(IsOrLogic(other)) << other;
  }
}

}  // namespace
