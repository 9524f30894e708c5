// The LEDs follow their bindings six times a second. The report's bits are
// the record of what is lit, and the report goes to the unit only when a bit
// changed, so a steady cockpit causes no USB traffic. A blinking binding's
// bit is lit only in the lit half of its period while its set holds; the
// phase is the device's count of refreshes, shared by all its bindings.
#include <algorithm>
#include <bit>
#include <cstddef>

#include "app/report_message.h"
#include "devices/blink_rate.h"
#include "devices/hid_device.h"

void HidDevice::Announce(const std::string& text) const { ReportMessage(text, "NimbraBridge|" + name, false); }

std::uint32_t HidDevice::LitCount() const {
  // Byte 0 is the report identifier; LEDs sit in bytes 1 to lastByteIndex.
  const std::size_t end = std::min<std::size_t>(lastByteIndex + 1u, ledReport.size());
  std::uint32_t lit = 0;
  for (std::size_t i = 1; i < end; ++i) lit += static_cast<std::uint32_t>(std::popcount(ledReport[i]));
  return lit;
}

void HidDevice::AllLedsOff() {
  ledReport.fill(0);
  SendReport();
}

void HidDevice::RefreshLeds() {
  if (!hidInitialised) return;
  const std::uint32_t phase = blinkPhase;
  blinkPhase = (blinkPhase + 1) % kBlinkPhaseCycle;

  if (gateBinding) {
    const bool holds = EvaluateConditionSet(*gateBinding->conditions);
    if (!holds) {
      if (gateOpen) {
        AllLedsOff();
        gateOpen = false;
        // Dark as steady LEDs are: each set is announced again once the gate holds.
        for (const auto& binding : bindings) binding->setHeld = false;
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
    bool lit = holds;
    const bool steady = binding->blinkHalfPeriod == 0;
    if (!steady) {
      lit = holds && InLitHalf(phase, binding->blinkHalfPeriod);
      // A blinking LED is announced when its set starts or stops holding, not at each flash.
      if (holds != binding->setHeld) {
        binding->setHeld = holds;
        if (showBindings) Announce(holds ? set.text : "X_" + set.text + "_X");
      }
    }
    if (lit && (byte & bit) == 0) {
      byte |= bit;
      changed = true;
      if (showBindings && steady) Announce(set.text);
    } else if (!lit && (byte & bit) != 0) {
      byte &= static_cast<std::uint8_t>(~bit);
      changed = true;
      if (showBindings && steady) Announce("X_" + set.text + "_X");
    }
  }
  if (changed) SendReport();
}
