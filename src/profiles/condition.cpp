// Turning a reference text and a value text into one typed comparison. A pair
// that makes no valid condition gives nothing; nothing is reported here.
#include "profiles/condition.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "platform/c_locale.h"

namespace {

void RemoveBlanks(std::string& text) { text.erase(std::remove(text.begin(), text.end(), ' '), text.end()); }

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// "TRUE", "FALSE" or a decimal number (leading white space and a sign
// allowed, trailing text ignored) that is 0 or 1.
std::optional<std::int32_t> ReadBool(const std::string& value) {
  if (value == "TRUE") return 1;
  if (value == "FALSE") return 0;
  errno = 0;
  char* end = nullptr;
  const long number = platform::CLocaleStrtol(value.c_str(), &end, 10);
  if (end == value.c_str() || errno == ERANGE) return std::nullopt;
  if (number != 0 && number != 1) return std::nullopt;
  return static_cast<std::int32_t>(number);
}

// Whatever strtod reads from the front of the text, unless it is out of range.
std::optional<double> ReadNumber(const std::string& value) {
  errno = 0;
  char* end = nullptr;
  const double number = platform::CLocaleStrtod(value.c_str(), &end);
  if (end == value.c_str() || errno == ERANGE) return std::nullopt;
  return number;
}

}  // namespace

ComparisonOp ParseComparison(std::string& value) {
  if (value.size() >= 2) {
    static const struct {
      const char* text;
      ComparisonOp op;
    } kTwoCharacter[] = {
        {">=", ComparisonOp::GreaterOrEqual},
        {"<=", ComparisonOp::LessOrEqual},
        {"!=", ComparisonOp::NotEqual},
        {"==", ComparisonOp::Equal},
    };
    for (const auto& entry : kTwoCharacter) {
      if (value.compare(0, 2, entry.text) == 0) {
        value.erase(0, 2);
        return entry.op;
      }
    }
  }
  if (!value.empty()) {
    switch (value[0]) {
      case '>':
        value.erase(0, 1);
        return ComparisonOp::Greater;
      case '<':
        value.erase(0, 1);
        return ComparisonOp::Less;
      case '=':
        value.erase(0, 1);
        return ComparisonOp::Equal;
      default:
        break;
    }
  }
  return ComparisonOp::Equal;
}

MadeCondition MakeCondition(std::string reference, std::string value) {
  auto fail = [](const char* whyNot) { return MadeCondition{false, whyNot, Condition{}}; };
  if (reference.empty()) return fail("empty reference");
  if (value.empty()) return fail("empty value text");

  Condition condition;
  condition.op = ParseComparison(value);

  const std::size_t comma = reference.find(',');
  if (comma == std::string::npos) return fail("reference has no ',' before its units");
  std::string units = reference.substr(comma + 1);
  RemoveBlanks(units);
  for (char& c : units) c = platform::CLocaleToUpper(c);
  if (units.empty()) return fail("reference has empty units");

  // Simulation variable names hold blanks; any other reference loses them.
  if (!StartsWith(reference, "A:")) RemoveBlanks(reference);

  if (units == "BOOL") {
    const auto expected = ReadBool(value);
    if (!expected) return fail("Bool value is not TRUE, FALSE, 0 or 1");
    condition.valueType = ValueType::Bool;
    condition.expectedInt = *expected;
  } else if (units == "STRING") {
    condition.valueType = ValueType::String;
    condition.expectedText = std::move(value);
  } else if (units == "CHAR") {
    if (!StartsWith(reference, "(L:")) return fail("Char reference does not begin with \"(L:\"");
    if (value.size() != 1 || static_cast<unsigned char>(value[0]) > 127) {
      return fail("Char value is not one ASCII character");
    }
    const auto code = static_cast<unsigned char>(value[0]);
    condition.valueType = ValueType::Char;
    condition.expectedInt = code;
  } else {
    const auto expected = ReadNumber(value);
    if (!expected) return fail("Number value is not a number or out of range");
    condition.valueType = ValueType::Number;
    condition.expectedNumber = *expected;
  }
  condition.reference = std::move(reference);
  return MadeCondition{true, std::string(), std::move(condition)};
}
