// The LEDs follow their bindings six times a second. The report's bits are
// the record of what is lit, and the report goes to the unit only when a bit
// changed, so a steady cockpit causes no USB traffic.
#include "app/report_message.h"
#include "devices/hid_device.h"

void HidDevice::Announce(const std::string& text) const { ReportMessage(text, "NimbraBridge|" + name, false); }

void HidDevice::AllLedsOff() {
  ledReport.fill(0);
  SendReport();
}

void HidDevice::RefreshLeds() {
  if (!hidInitialised) return;

  if (gateBinding) {
    const bool holds = EvaluateConditionSet(*gateBinding->conditions);
    if (!holds) {
      if (gateOpen) {
        AllLedsOff();
        gateOpen = false;
      }
      return;
    }
    gateOpen = true;
  }

  bool changed = false;
  for (const auto& binding : bindings) {
    const ConditionSet& set = *binding->conditions;
    std::uint8_t& byte = ledReport[static_cast<std::size_t>(binding->byteIndex)];
    const auto bit = static_cast<std::uint8_t>(1u << binding->bitIndex);
    const bool holds = EvaluateConditionSet(set);
    if (holds && (byte & bit) == 0) {
      byte |= bit;
      changed = true;
      if (showBindings) Announce(set.text);
    } else if (!holds && (byte & bit) != 0) {
      byte &= static_cast<std::uint8_t>(~bit);
      changed = true;
      if (showBindings) Announce("X_" + set.text + "_X");
    }
  }
  if (changed) SendReport();
}
