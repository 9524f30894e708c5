// Reading a comparison operator and a typed expected value from the two texts
// of a condition.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "profiles/condition.h"

namespace {

struct OperatorCase {
  std::string text;
  ComparisonOp op;
  std::string rest;
};

TEST(ParseComparison, ReadsEveryOperatorAndLeavesTheRest) {
  const OperatorCase cases[] = {
      {">=5", ComparisonOp::GreaterOrEqual, "5"},
      {"<=5", ComparisonOp::LessOrEqual, "5"},
      {"!=5", ComparisonOp::NotEqual, "5"},
      {"==5", ComparisonOp::Equal, "5"},
      {">5", ComparisonOp::Greater, "5"},
      {"<5", ComparisonOp::Less, "5"},
      {"=5", ComparisonOp::Equal, "5"},
      {"5", ComparisonOp::Equal, "5"},
      {"", ComparisonOp::Equal, ""},
      // Two-character operators win over their first character.
      {">=", ComparisonOp::GreaterOrEqual, ""},
      {"<=", ComparisonOp::LessOrEqual, ""},
      {"!=", ComparisonOp::NotEqual, ""},
      {"==", ComparisonOp::Equal, ""},
      // One character alone becomes empty.
      {">", ComparisonOp::Greater, ""},
      {"<", ComparisonOp::Less, ""},
      {"=", ComparisonOp::Equal, ""},
      // "!" alone is no operator.
      {"!", ComparisonOp::Equal, "!"},
      {"!5", ComparisonOp::Equal, "!5"},
      // No blanks are skipped, and only one operator is read.
      {"> 5", ComparisonOp::Greater, " 5"},
      {" >5", ComparisonOp::Equal, " >5"},
      {"=>5", ComparisonOp::Equal, ">5"},
      {"=<5", ComparisonOp::Equal, "<5"},
      {"<>5", ComparisonOp::Less, ">5"},
      {"===5", ComparisonOp::Equal, "=5"},
      {">>5", ComparisonOp::Greater, ">5"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ParseComparison(text), c.op) << "'" << c.text << "'";
    EXPECT_EQ(text, c.rest) << "'" << c.text << "'";
  }
}

Condition Make(const std::string& reference, const std::string& value) {
  MadeCondition made = MakeCondition(reference, value);
  EXPECT_TRUE(made.made) << reference << " / " << value << ": " << made.whyNot;
  EXPECT_EQ(made.whyNot, "") << reference << " / " << value;
  return made.condition;
}

// No condition, and a reason for it.
void ExpectNone(const std::string& reference, const std::string& value) {
  const MadeCondition made = MakeCondition(reference, value);
  EXPECT_FALSE(made.made) << "'" << reference << "' / '" << value << "'";
  EXPECT_NE(made.whyNot, "") << "'" << reference << "' / '" << value << "'";
}

TEST(MakeCondition, BoolFromWordsAndNumbers) {
  Condition c = Make("A:LIGHT LANDING,Bool", "TRUE");
  EXPECT_EQ(c.reference, "A:LIGHT LANDING,Bool");
  EXPECT_EQ(c.valueType, ValueType::Bool);
  EXPECT_EQ(c.op, ComparisonOp::Equal);
  EXPECT_EQ(c.expectedInt, 1);
  EXPECT_EQ(c.expectedNumber, 0.0);
  EXPECT_EQ(c.expectedText, "");

  EXPECT_EQ(Make("A:LIGHT LANDING,Bool", "FALSE").expectedInt, 0);
  EXPECT_EQ(Make("A:LIGHT LANDING,Bool", "1").expectedInt, 1);
  EXPECT_EQ(Make("A:LIGHT LANDING,Bool", "!=0").op, ComparisonOp::NotEqual);
  // A number's trailing text is ignored, leading blanks and a sign are read.
  EXPECT_EQ(Make("A:X,Bool", "1.7").expectedInt, 1);
  EXPECT_EQ(Make("A:X,Bool", " +1").expectedInt, 1);
  EXPECT_EQ(Make("A:X,Bool", "-0").expectedInt, 0);
  EXPECT_EQ(Make("A:X,Bool", ">= 0x").expectedInt, 0);

  // Words are case-sensitive, and only 0 and 1 are numbers of a Bool.
  ExpectNone("A:X,Bool", "true");
  ExpectNone("A:X,Bool", "True");
  ExpectNone("A:X,Bool", "2");
  ExpectNone("A:X,Bool", "-1");
  ExpectNone("A:X,Bool", "99999999999999999999999");
  ExpectNone("A:X,Bool", ".5");
  ExpectNone("A:X,Bool", "==");
  ExpectNone("A:X,Bool", " TRUE");
}

TEST(MakeCondition, UnitsDecideTheTypeWhateverTheirCaseAndBlanks) {
  Condition blankUnit = Make("A:LIGHT LANDING, bool", "1");
  EXPECT_EQ(blankUnit.valueType, ValueType::Bool);
  EXPECT_EQ(blankUnit.expectedInt, 1);
  EXPECT_EQ(blankUnit.reference, "A:LIGHT LANDING, bool");  // a different key

  EXPECT_EQ(Make("A:X,b O o L ", "0").valueType, ValueType::Bool);
  EXPECT_EQ(Make("A:X,feet", "1").valueType, ValueType::Number);
  // Only a to z change case: a letter beyond ASCII keeps the units apart.
  EXPECT_EQ(Make("A:X,bo\xC3\xB6l", "1").valueType, ValueType::Number);
  // The first comma splits: the rest, commas included, is the units text.
  EXPECT_EQ(Make("A:X,Bool,Bool", "1").valueType, ValueType::Number);
}

TEST(MakeCondition, ReferencesKeepBlanksOnlyAfterTheSimulationPrefix) {
  Condition local = Make("L:My Var,Number", ">= 2.5");
  EXPECT_EQ(local.reference, "L:MyVar,Number");
  EXPECT_EQ(local.valueType, ValueType::Number);
  EXPECT_EQ(local.op, ComparisonOp::GreaterOrEqual);
  EXPECT_EQ(local.expectedNumber, 2.5);

  EXPECT_EQ(Make(" A:X Y,Bool", "1").reference, "A:XY,Bool");
  EXPECT_EQ(Make("a:X Y,Bool", "1").reference, "a:XY,Bool");
  EXPECT_EQ(Make("A:X Y , Bool ", "1").reference, "A:X Y , Bool ");
}

TEST(MakeCondition, NumbersTakeWhatStrtodReads) {
  struct {
    const char* value;
    double expected;
  } cases[] = {
      {"1500", 1500},          {"2.5", 2.5},         {"12abc", 12},     {"  -3", -3},
      {"1e3", 1000},           {"1E-2", 0.01},       {"0x1p3", 8},      {"0X10", 16},
      {".5", 0.5},             {"5.", 5},            {"+7", 7},         {"1e", 1},
      {"-0", 0},               {"1,5", 1},           {"\t\n4", 4},      {"1e308", 1e308},
  };
  for (const auto& c : cases) {
    Condition condition = Make("A:X,feet", c.value);
    EXPECT_EQ(condition.valueType, ValueType::Number) << c.value;
    EXPECT_EQ(condition.expectedNumber, c.expected) << c.value;
    EXPECT_EQ(condition.expectedInt, 0) << c.value;
  }
  EXPECT_TRUE(std::isinf(Make("A:X,feet", "inf").expectedNumber));
  EXPECT_TRUE(std::isinf(Make("A:X,feet", "-Infinity").expectedNumber));
  EXPECT_LT(Make("A:X,feet", "-Infinity").expectedNumber, 0);
  EXPECT_TRUE(std::isnan(Make("A:X,feet", "nan").expectedNumber));
  EXPECT_TRUE(std::isnan(Make("A:X,feet", "NAN(123)").expectedNumber));

  // Nothing read, or out of range (overflow and underflow).
  ExpectNone("A:X,feet", "abc");
  ExpectNone("A:X,feet", "!=");
  ExpectNone("A:FLAPS HANDLE INDEX,Number", "!=");
  ExpectNone("A:X,feet", " ");
  ExpectNone("A:X,feet", "-");
  ExpectNone("A:X,feet", "1e999");
  ExpectNone("A:X,feet", "-1e999");
  ExpectNone("A:X,feet", "1e-999");
}

TEST(MakeCondition, StringKeepsTheRestEvenWhenEmpty) {
  Condition c = Make("A:FLAPS HANDLE INDEX,String", "!=");
  EXPECT_EQ(c.valueType, ValueType::String);
  EXPECT_EQ(c.op, ComparisonOp::NotEqual);
  EXPECT_EQ(c.expectedText, "");
  Condition text = Make("A:ATC ID,string", "==N 123");
  EXPECT_EQ(text.expectedText, "N 123");
  EXPECT_EQ(text.expectedInt, 0);
  EXPECT_EQ(text.expectedNumber, 0.0);
}

TEST(MakeCondition, CharOnlyForLocalVariablesWithOneAsciiCharacter) {
  Condition c = Make("(L:MODE,Char", "A");
  EXPECT_EQ(c.valueType, ValueType::Char);
  EXPECT_EQ(c.expectedInt, 65);
  EXPECT_EQ(c.reference, "(L:MODE,Char");
  EXPECT_EQ(Make("(L:MODE,char", "!=~").expectedInt, '~');
  EXPECT_EQ(Make(" (L: MODE,Char", "z").reference, "(L:MODE,Char");

  ExpectNone("(L:MODE,Char", "AB");
  ExpectNone("(L:MODE,Char", "\xC3\xA9");  // one character, two bytes
  ExpectNone("(L:MODE,Char", "\xE9");
  ExpectNone("(L:MODE,Char", "==");
  ExpectNone("L:MODE,Char", "A");
  ExpectNone("A:MODE,Char", "A");
  // "CHAR)" is no Char unit: a Number that cannot read "A".
  ExpectNone("(L:MODE,Char)", "A");
  EXPECT_EQ(Make("(L:MODE,Char)", "7").valueType, ValueType::Number);
}

TEST(MakeCondition, MissingPiecesGiveNothing) {
  ExpectNone("", "1");
  ExpectNone("A:X,Bool", "");
  ExpectNone("A:X", "1");
  ExpectNone("A:X,", "1");
  ExpectNone("A:X, ", "1");
  ExpectNone("A:X,   ", "TRUE");
}

// The process locale must not change how numbers are read: a profile means
// the same on every machine.
TEST(MakeCondition, NumbersIgnoreTheProcessLocale) {
  const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252",
                                      "French_France.1252", "de-DE"};
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* chosen = nullptr;
  for (const char* name : commaLocales) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const bool decimalComma = std::strtod("1,5", nullptr) == 1.5;

  const double half = Make("A:X,feet", "2.5").expectedNumber;
  const double comma = Make("A:X,feet", "2,5").expectedNumber;
  const double hex = Make("A:X,feet", "0x1.8p1").expectedNumber;
  const int boolean = Make("A:X,Bool", "1.9").expectedInt;
  std::setlocale(LC_ALL, saved.c_str());

  EXPECT_TRUE(decimalComma) << chosen;  // the test would prove nothing otherwise
  EXPECT_EQ(half, 2.5);
  EXPECT_EQ(comma, 2.0);
  EXPECT_EQ(hex, 3.0);
  EXPECT_EQ(boolean, 1);
}

}  // namespace
