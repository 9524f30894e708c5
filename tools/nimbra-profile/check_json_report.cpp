// The checker's report for editors and scripts: the same facts as the text
// report, as one JSON object per file.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "check_reports.h"
#include "condition_wording.h"

namespace nimbra_profile {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void Key(Writer& w, const char* name) { w.Key(name); }
void Text(Writer& w, const std::string& text) { w.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size())); }
void Size(Writer& w, std::size_t n) { w.Uint64(n); }

void WriteCondition(Writer& w, const Condition& condition) {
  w.StartObject();
  Key(w, "reference"), Text(w, condition.reference);
  Key(w, "operator"), w.String(OperatorText(condition.op));
  Key(w, "type"), w.String(ValueTypeName(condition.valueType));
  Key(w, "value");
  switch (condition.valueType) {
    case ValueType::Bool:
    case ValueType::Char: w.Int(condition.expectedInt); break;
    case ValueType::Number:
      // JSON has no NaN or infinity: those go as their text.
      if (condition.expectedNumber == condition.expectedNumber &&
          condition.expectedNumber - condition.expectedNumber == 0.0) {
        w.Double(condition.expectedNumber);
      } else {
        Text(w, ExpectedText(condition));
      }
      break;
    case ValueType::String: Text(w, condition.expectedText); break;
  }
  w.EndObject();
}

void WriteFindings(Writer& w, const std::vector<Finding>& findings) {
  w.StartArray();
  for (const Finding& finding : findings) {
    w.StartObject();
    Key(w, "code"), Text(w, finding.code);
    Key(w, "severity"), w.String(finding.note ? "note" : "warning");
    Key(w, "message"), Text(w, finding.message);
    Key(w, "suggestions"), w.StartArray();
    for (const std::string& suggestion : finding.suggestions) Text(w, suggestion);
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
}

void WriteEntry(Writer& w, const CheckedEntry& entry) {
  const EntryOutcome& outcome = entry.outcome;
  w.StartObject();
  Key(w, "index"), Size(w, outcome.index);
  Key(w, "accepted"), w.Bool(outcome.accepted);
  if (outcome.accepted) {
    Key(w, "byteIndex"), w.Uint(outcome.byteIndex);
    Key(w, "bitIndex"), w.Uint(outcome.bitIndex);
    Key(w, "gate"), w.Bool(outcome.gate);
    Key(w, "logic"), w.String(outcome.isOr ? "any" : "all");
    Key(w, "text"), Text(w, outcome.text);
    // Blinks per second; null for a steady LED and the gate.
    Key(w, "blinkHz");
    if (!outcome.gate && outcome.blink.halfPeriod != 0) w.Double(BlinkHz(outcome.blink.halfPeriod));
    else w.Null();
  } else {
    Key(w, "reason"), Text(w, outcome.whyNot);
  }
  Key(w, "conditions"), w.StartArray();
  for (const Condition& condition : outcome.conditions) WriteCondition(w, condition);
  w.EndArray();
  Key(w, "passedOver"), w.StartArray();
  for (const PassedOverPair& pair : entry.pairsPassedOver) {
    w.StartObject();
    Key(w, "source"), Text(w, SourceText(pair.source));
    Key(w, "reference"), Text(w, pair.reference);
    Key(w, "value"), Text(w, pair.value);
    Key(w, "reason"), Text(w, pair.whyNot);
    w.EndObject();
  }
  w.EndArray();
  Key(w, "warnings"), w.StartArray();
  for (const std::string& warning : entry.warnings) Text(w, warning);
  w.EndArray();
  Key(w, "findings"), WriteFindings(w, entry.findings);
  w.EndObject();
}

}  // namespace

std::string JsonReport(const ProfileCheck& check, const LedLimits& limits) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "file"), Text(w, check.path);
  Key(w, "status"), w.Int(check.Status());
  Key(w, "lastByteIndex"), w.Uint(limits.lastByteIndex);
  Key(w, "lastByteMaxBit"), w.Uint(limits.lastByteMaxBit);
  if (check.failure) {
    Key(w, "error"), w.StartObject();
    Key(w, "message"), Text(w, check.failure->message);
    if (check.failure->parseError) {
      Key(w, "offset"), Size(w, check.failure->offset);
      Key(w, "line"), Size(w, check.line);
      Key(w, "column"), Size(w, check.column);
    }
    w.EndObject();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
  }
  Key(w, "saveName"), Text(w, check.saveName);
  Key(w, "language"), Text(w, check.languageKey);
  Key(w, "localVariables"), w.Bool(check.localVariables);
  Key(w, "warnings"), w.StartArray();
  for (const std::string& warning : check.warnings) Text(w, warning);
  w.EndArray();
  Key(w, "entries"), w.StartArray();
  for (const CheckedEntry& entry : check.entries) WriteEntry(w, entry);
  w.EndArray();
  Key(w, "variables"), w.StartArray();
  for (const CheckedVariable& variable : check.variables) {
    w.StartObject();
    Key(w, "reference"), Text(w, variable.reference);
    Key(w, "type"), w.String(ValueTypeName(variable.valueType));
    Key(w, "holders"), Size(w, variable.holders);
    Key(w, "registrable"), w.Bool(variable.datum.registrable);
    if (variable.datum.registrable) {
      Key(w, "datum"), Text(w, variable.datum.name);
      Key(w, "unit"), Text(w, variable.datum.unit);
      Key(w, "datumType"), w.String(DatumTypeName(variable.datum));
    } else {
      Key(w, "reason"), Text(w, variable.datum.whyNot);
    }
    Key(w, "findings"), WriteFindings(w, variable.findings);
    w.EndObject();
  }
  w.EndArray();
  Key(w, "gateEntry");
  if (check.gateEntry) Size(w, *check.gateEntry);
  else w.Null();
  Key(w, "duplicates"), w.StartArray();
  for (const DuplicatePosition& duplicate : check.duplicates) {
    w.StartObject();
    Key(w, "byteIndex"), w.Uint(duplicate.byteIndex);
    Key(w, "bitIndex"), w.Uint(duplicate.bitIndex);
    Key(w, "entries"), w.StartArray();
    for (std::size_t index : duplicate.entries) Size(w, index);
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace nimbra_profile
