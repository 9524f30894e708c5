// What the notification-area icon says and what its menu does, for pilots
// whose simulator shows neither the add-on menu nor text lines. The
// commands act on the supported unit, as the add-on menu's items do.
#pragma once

#include <cstdint>
#include <string>

#include "platform/tray_icon.h"

class Device;

// What the tooltip depends on, cheap to take after every pause of the loop
// so that the text is built only when it changes.
struct IconStatus {
  const Device* device = nullptr;  // the supported unit's device
  unsigned reloads = 0;          // its reload count: profile, title, LOCAL or GLOBAL
  bool loaded = false;
  bool unitOpen = false;
  std::uint32_t lit = 0;
  std::uint32_t bindings = 0;
  bool operator==(const IconStatus&) const = default;
};
IconStatus CurrentIconStatus();

// "Nimbra Bridge: waiting for the simulator" until a profile is loaded, then
// "Nimbra Bridge: <SaveName> (LOCAL|GLOBAL), N of M LEDs lit", or "..., no
// unit found" when the unit is not open; from the status just taken.
std::string IconTooltip(const IconStatus& status);

// Carries out one choice of the menu and notes it in the log. Reload
// Bindings reloads whether or not the simulation runs (the pilot asked
// directly, unlike the add-on menu's item); Quit has already asked for the
// stop and is only noted here.
void RunIconCommand(platform::TrayCommand command);
