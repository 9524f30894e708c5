// The USB HID unit: found by its vendor and product identifiers, written to
// with one 65-byte LED feature report, never read from.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <hidapi.h>

#include "devices/device.h"
#include "devices/led_binding.h"
#include "devices/supported_unit.h"
#include "devices/led_entry.h"

// True from a successful hid_init until the library is shut down. While it
// is false no refresh does anything.
extern bool hidInitialised;

class HidDevice : public Device {
 public:
  // `supported` is the pair that gets the menu identifiers (the pair the
  // settings name, else the default one).
  HidDevice(std::int32_t vendorId, std::int32_t productId, std::string name, LedLimits limits,
            UnitIds supported = kDefaultUnitIds);
  // Switches the LEDs off and closes the unit, shuts the library down when it
  // is the last device, then releases the bindings' variables.
  ~HidDevice() override;

  std::uint32_t BindingCount() const override;
  // The LEDs lit in the report as last built.
  std::uint32_t LitCount() const;
  // Opens the first HID interface that matches the identifiers, if any.
  void Initialise() override;
  void LoadBindings(const rapidjson::Value& profile) override;
  // The same, telling `observer` (when given) each decision as it is taken,
  // before the entry's binding is built.
  void LoadBindings(const rapidjson::Value& profile, EntryObserver* observer);
  void AllLedsOff() override;
  void RefreshLeds() override;
  void ClearBindings() override;

  std::vector<std::unique_ptr<LedBinding>> bindings;  // in profile order
  hid_device* hidHandle = nullptr;                    // null: no unit, nothing is sent
  std::array<std::uint8_t, kLedReportSize> ledReport{};
  const std::uint32_t lastByteIndex;                  // highest LED byte
  const std::uint32_t lastByteMaxBit;                 // highest bit in that byte
  std::unique_ptr<LedBinding> gateBinding;
  bool gateOpen = false;                              // the gate held at the last refresh
  std::uint32_t blinkPhase = 0;                       // refreshes since the reload, modulo kBlinkPhaseCycle

 private:
  // Builds the binding or the gate of an accepted entry; `localVariables`
  // from the profile's top level.
  void AddBinding(EntryOutcome entry, bool localVariables);
  void SendReport();
  // An LED change as a simulator text line.
  void Announce(const std::string& text) const;
};
