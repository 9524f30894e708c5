// What `nimbra-profile watch` shows of one profile while the simulator runs:
// every LED entry with its conditions, each condition's variable as the
// bridge holds it now and whether it holds, the entry's result (lit, dark,
// or dark because the gate fails), the gate, and the variables the simulator
// rejected. The profile is read by the checker's code (the bridge's loading
// with every decision kept), its variables are registered through a registry
// of the bridge's kind and the conditions decided by the bridge's
// evaluation, so what it shows is what the bridge does with the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "profile_check.h"
#include "profiles/evaluation.h"

namespace nimbra_profile {

class WatchView {
 public:
  // Reads the profile at `path` for a device with these limits and, when it
  // loads, registers the variables of its accepted entries in `registry`,
  // which outlives the view. They are given back when the view goes.
  WatchView(const std::string& path, const LedLimits& limits, VariableRegistry& registry);
  WatchView(const WatchView&) = delete;
  WatchView& operator=(const WatchView&) = delete;

  const ProfileCheck& check() const { return check_; }
  bool loaded() const { return !check_.failure.has_value(); }

  // The simulator rejected the message with this send identifier: the
  // variable it registered is marked rejected and dropped as the bridge
  // drops it. Another send identifier changes nothing.
  void Rejected(std::uint32_t sendId);
  const std::set<std::string>& rejected() const { return rejected_; }

  // The entries, their conditions and the gate as text lines, lit LEDs and
  // rejected variables coloured when `colour`. `blinkPhase` counts the
  // refreshes since the profile was loaded (modulo kBlinkPhaseCycle); a
  // blinking entry whose set holds is lit in the lit half of its period.
  std::vector<std::string> Lines(bool colour, std::uint32_t blinkPhase) const;

 private:
  struct Watched {
    std::size_t entry = 0;  // in check_.entries
    std::unique_ptr<ConditionSet> set;
  };

  void AddConditionLines(const ConditionSet& set, bool colour, std::vector<std::string>& lines) const;
  std::string CurrentValue(const std::string& reference, bool colour) const;

  VariableRegistry& registry_;
  ProfileCheck check_;
  std::vector<Watched> watched_;  // the accepted entries in profile order, the gate among them
  const Watched* gate_ = nullptr;
  std::set<std::string> rejected_;
};

// A value as the view shows it: the shortest text that reads back as the
// same number, and "NaN", "inf" or "-inf" for those.
std::string ValueText(double value);

}  // namespace nimbra_profile
