// The live view of one profile: its accepted entries bound as the bridge
// binds them, in a registry of the watch's own, and drawn with each
// condition's current value.
#include "watch_view.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "devices/blink_rate.h"
#include "colours.h"
#include "profiles/profile_files.h"
#include "condition_wording.h"
#include "variables/variable_registry.h"

namespace nimbra_profile {
namespace {

std::string Position(const EntryOutcome& entry) {
  return std::to_string(entry.byteIndex) + "/" + std::to_string(entry.bitIndex);
}

// "#N": the entry's place in "LEDs" (appended, not prefixed, which GCC 12
// misreads as an overlapping copy under -Wrestrict).
std::string EntryMark(std::size_t index) {
  std::string mark = "#";
  mark += std::to_string(index);
  return mark;
}

std::string Described(const std::string& text) { return text.empty() ? "(no description)" : text; }

}  // namespace

std::string ValueText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

WatchView::WatchView(const std::string& path, const LedLimits& limits, VariableRegistry& registry)
    : registry_(registry), check_(CheckProfile(path, limits)) {
  if (!loaded()) return;
  // As the bridge binds them: each accepted entry's set takes its variables;
  // of several gates only the last one stays.
  watched_.reserve(check_.entries.size());
  for (const CheckedEntry& checked : check_.entries) {
    const EntryOutcome& entry = checked.outcome;
    if (!entry.accepted || (entry.gate && entry.index != check_.gateEntry)) continue;
    watched_.push_back(Watched{entry.index, std::make_unique<ConditionSet>(registry_, entry.text, entry.conditions, entry.isOr,
                                                                          check_.localVariables)});
    if (entry.gate) gate_ = &watched_.back();
  }
}

void WatchView::Rejected(std::uint32_t sendId) {
  for (const auto& [reference, variable] : registry_.entries()) {
    if (variable->addSendId != sendId && variable->requestSendId != sendId) continue;
    rejected_.insert(reference);
    registry_.RemoveBySendId(sendId);
    return;
  }
}

std::string WatchView::CurrentValue(const std::string& reference, bool colour) const {
  const SimVariable* variable = registry_.FindVariable(reference);
  if (variable == nullptr) {
    return rejected_.count(reference) != 0 ? console::Painted("REJECTED by the simulator", console::kWrong, colour)
                                           : "not registered";
  }
  if (variable->intValue) return std::to_string(*variable->intValue);
  if (variable->floatValue) return ValueText(*variable->floatValue);
  return "none";
}

void WatchView::AddConditionLines(const ConditionSet& set, bool colour, std::vector<std::string>& lines) const {
  const bool holds = EvaluateConditionSet(set);
  for (const Condition& condition : set.conditions) {
    const bool conditionHolds = EvaluateCondition(condition, registry_);
    std::string line = "      " + condition.reference + " " + OperatorText(condition.op) + " " +
                       ExpectedText(condition) + "  now " + CurrentValue(condition.reference, colour) + "  " +
                       (conditionHolds ? "holds" : "fails");
    // Which condition decides the entry: in an any-of set that holds, each
    // one that holds carries it; in an all-of set that fails, each one that
    // fails blocks it.
    if (set.isOr && holds && conditionHolds) line += "  <- carries it";
    if (!set.isOr && !holds && !conditionHolds) line += "  <- blocks it";
    lines.push_back(std::move(line));
  }
}

std::vector<std::string> WatchView::Lines(bool colour, std::uint32_t blinkPhase) const {
  std::vector<std::string> lines;
  if (!loaded()) return lines;
  const bool gateHolds = gate_ == nullptr || EvaluateConditionSet(*gate_->set);
  if (gate_ == nullptr) {
    lines.push_back("gate 0/0: none (nothing holds the LEDs dark)");
  } else {
    const EntryOutcome& entry = check_.entries[gate_->entry].outcome;
    lines.push_back("gate 0/0: " +
                    (gateHolds ? std::string("holds") : console::Painted("FAILS: every LED dark", console::kWrong, colour)) +
                    "  " + EntryMark(entry.index) + " " + Described(entry.text) +
                    (entry.conditions.size() > 1 ? (entry.isOr ? "  (any of)" : "  (all of)") : ""));
    AddConditionLines(*gate_->set, colour, lines);
  }
  auto watched = watched_.begin();
  for (const CheckedEntry& checked : check_.entries) {
    const EntryOutcome& entry = checked.outcome;
    if (!entry.accepted) {
      lines.push_back(console::Painted(EntryMark(entry.index) + "  passed over: " + entry.whyNot,
                                       console::kFaint, colour));
      continue;
    }
    if (entry.gate) {
      if (gate_ != nullptr && gate_->entry == entry.index) ++watched;
      lines.push_back(EntryMark(entry.index) + "  0/0 gate" +
                      (gate_ != nullptr && gate_->entry == entry.index ? " (above)" : ", replaced by a later one"));
      continue;
    }
    const Watched& current = *watched++;
    const bool holds = EvaluateConditionSet(*current.set);
    const std::uint8_t half = entry.blink.halfPeriod;
    const bool litHalf = half == 0 || InLitHalf(blinkPhase, half);
    const std::string result = holds && gateHolds && litHalf ? console::Painted("LIT ", console::kLit, colour)
                               : holds && gateHolds          ? console::Painted("dark (blink)", console::kFaint, colour)
                               : holds                       ? console::Painted("dark (gate)", console::kFaint, colour)
                                                             : console::Painted("dark", console::kFaint, colour);
    std::string blinking;
    if (half != 0) {
      blinking = "  blinks at " + BlinkHzText(half) + " Hz";
      if (holds && gateHolds) blinking += litHalf ? ", lit half" : ", dark half";
    }
    lines.push_back(EntryMark(entry.index) + "  " + Position(entry) + "  " + result + "  " +
                    Described(entry.text) +
                    (entry.conditions.size() > 1 ? (entry.isOr ? "  (any of)" : "  (all of)") : "") + blinking);
    AddConditionLines(*current.set, colour, lines);
  }
  return lines;
}

}  // namespace nimbra_profile
