// The checker's report for people: one block per file, one line per LED
// entry with its conditions under it, then the variables, the gate, the
// positions bound twice and the unit's grid.
#include <set>
#include <utility>

#include "check_reports.h"
#include "condition_wording.h"

namespace nimbra_profile {
namespace {

std::string PositionText(const EntryOutcome& outcome) {
  return "byte " + std::to_string(outcome.byteIndex) + " bit " + std::to_string(outcome.bitIndex);
}

std::string ConditionLine(const Condition& condition) {
  return std::string("      ") + condition.reference + "  " + OperatorText(condition.op) + "  " +
         ValueTypeName(condition.valueType) + "  " + ExpectedText(condition) + "\n";
}

std::string PairLine(const PassedOverPair& pair) {
  std::string line = "      passed over (" + SourceText(pair.source) + "): " + pair.whyNot;
  if (!pair.reference.empty() || !pair.value.empty()) {
    line += " [reference \"" + pair.reference + "\", value \"" + pair.value + "\"]";
  }
  return line + "\n";
}

// The unit's grid as the unit shows it: bytes 1 up, bits 0 to 7 across;
// '#' a bound LED, '2' one bound by more entries, '.' a free one.
std::string Grid(const ProfileCheck& check, const LedLimits& limits) {
  std::set<std::pair<std::uint32_t, std::uint32_t>> bound;
  std::set<std::pair<std::uint32_t, std::uint32_t>> twice;
  for (const DuplicatePosition& duplicate : check.duplicates) twice.insert({duplicate.byteIndex, duplicate.bitIndex});
  for (const CheckedEntry& entry : check.entries) {
    if (entry.outcome.accepted && !entry.outcome.gate) bound.insert({entry.outcome.byteIndex, entry.outcome.bitIndex});
  }
  std::string grid = "  grid (# bound, 2 bound twice or more, . free):\n         bit 0 1 2 3 4 5 6 7\n";
  for (std::uint32_t byte = 1; byte <= limits.lastByteIndex; ++byte) {
    grid += "    byte " + std::to_string(byte) + "   ";
    const std::uint32_t lastBit = byte == limits.lastByteIndex ? limits.lastByteMaxBit : 7;
    for (std::uint32_t bit = 0; bit <= lastBit; ++bit) {
      grid += twice.count({byte, bit}) ? " 2" : bound.count({byte, bit}) ? " #" : " .";
    }
    grid += "\n";
  }
  return grid;
}

std::string FindingLines(const std::vector<Finding>& findings) {
  std::string lines;
  for (const Finding& finding : findings) {
    lines += std::string("      ") + (finding.note ? "note" : "warning") + " [" + finding.code + "]: " +
             finding.message + "\n";
    for (const std::string& suggestion : finding.suggestions) lines += "        did you mean: " + suggestion + "\n";
  }
  return lines;
}

}  // namespace

std::string TextReport(const ProfileCheck& check, const LedLimits& limits) {
  std::string out = check.path + "\n";
  if (check.failure) {
    out += "  error: " + check.failure->message + "\n";
    if (check.failure->parseError && check.line > 0) {
      out += "  at line " + std::to_string(check.line) + ", column " + std::to_string(check.column) +
             " (offset " + std::to_string(check.failure->offset) + ")\n";
    }
    out += "  result: not loaded (the bridge shows this in a message box and binds nothing)\n";
    return out;
  }
  out += "  \"SaveName\": \"" + check.saveName + "\", \"Language\": \"" + check.languageKey + "\"" +
         (check.localVariables ? ", \"LocalVariables\": true" : "") + "\n";
  for (const std::string& warning : check.warnings) out += "  warning: " + warning + "\n";

  for (const CheckedEntry& entry : check.entries) {
    const EntryOutcome& outcome = entry.outcome;
    out += "  entry " + std::to_string(outcome.index) + ": ";
    if (outcome.accepted) {
      out += PositionText(outcome) + (outcome.gate ? " (gate)" : "") + ": accepted, " +
             (outcome.conditions.size() > 1 ? (outcome.isOr ? "any of" : "all of") : "one condition");
      if (!outcome.text.empty()) out += ", text \"" + outcome.text + "\"";
      if (!outcome.gate && outcome.blink.halfPeriod != 0) {
        out += ", blinks at " + BlinkHzText(outcome.blink.halfPeriod) + " Hz";
      }
      out += "\n";
    } else {
      out += "passed over: " + outcome.whyNot + "\n";
    }
    for (const Condition& condition : outcome.conditions) out += ConditionLine(condition);
    for (const PassedOverPair& pair : entry.pairsPassedOver) out += PairLine(pair);
    for (const std::string& warning : entry.warnings) out += "      warning: " + warning + "\n";
    out += FindingLines(entry.findings);
  }

  out += "  variables registered:\n";
  std::string refused;
  for (const CheckedVariable& variable : check.variables) {
    if (variable.datum.registrable) {
      out += "    " + variable.reference + "  datum \"" + variable.datum.name + "\" unit \"" + variable.datum.unit +
             "\"  " + ValueTypeName(variable.valueType) + " (" + DatumTypeName(variable.datum) + ")  held by " +
             std::to_string(variable.holders) + "\n" + FindingLines(variable.findings);
    } else {
      refused += "    " + variable.reference + "  " + ValueTypeName(variable.valueType) + ": " +
                 variable.datum.whyNot + "; its conditions are always false\n" + FindingLines(variable.findings);
    }
  }
  if (!refused.empty()) out += "  variables the simulator link cannot register (a message box per condition at load):\n" + refused;

  if (check.gateEntry) {
    out += "  gate: entry " + std::to_string(*check.gateEntry) + "; while it fails, all LEDs stay dark\n";
  } else {
    out += "  gate: none in this profile; a gate from an earlier profile stays in force\n";
  }
  for (const DuplicatePosition& duplicate : check.duplicates) {
    out += "  warning: byte " + std::to_string(duplicate.byteIndex) + " bit " + std::to_string(duplicate.bitIndex) +
           " is bound by entries";
    for (std::size_t index : duplicate.entries) out.append(" ").append(std::to_string(index));
    out += ": while they disagree the LED flips and the report goes out at every refresh\n";
  }
  out += Grid(check, limits);
  out += check.Status() == 0 ? "  result: clean\n" : "  result: loads, with warnings\n";
  return out;
}

}  // namespace nimbra_profile
