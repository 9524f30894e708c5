// The words the checker's outputs use for the parts of a condition.
#include <charconv>

#include "condition_wording.h"

namespace nimbra_profile {

const char* OperatorText(ComparisonOp op) {
  switch (op) {
    case ComparisonOp::Equal: return "==";
    case ComparisonOp::NotEqual: return "!=";
    case ComparisonOp::Greater: return ">";
    case ComparisonOp::GreaterOrEqual: return ">=";
    case ComparisonOp::Less: return "<";
    case ComparisonOp::LessOrEqual: return "<=";
  }
  return "?";
}

const char* ValueTypeName(ValueType type) {
  switch (type) {
    case ValueType::Bool: return "Bool";
    case ValueType::Number: return "Number";
    case ValueType::Char: return "Char";
    case ValueType::String: return "String";
  }
  return "?";
}

std::string ExpectedText(const Condition& condition) {
  switch (condition.valueType) {
    case ValueType::Bool:
      return std::to_string(condition.expectedInt);
    case ValueType::Char:
      return std::to_string(condition.expectedInt) + " '" + static_cast<char>(condition.expectedInt) + "'";
    case ValueType::String:
      return "\"" + condition.expectedText + "\"";
    case ValueType::Number: {
      char text[64];  // the shortest text that reads back as the same number
      const auto result = std::to_chars(text, text + sizeof text, condition.expectedNumber);
      return std::string(text, result.ptr);
    }
  }
  return std::string();
}

std::string SourceText(const PairSource& source) {
  return source.inList ? "Conditions[" + std::to_string(source.element) + "]" : "Condition";
}

const char* DatumTypeName(const VariableDatum& datum) {
  return datum.type == SIMCONNECT_DATATYPE_INT32 ? "INT32" : "FLOAT64";
}

}  // namespace nimbra_profile
