// What the notification-area icon says and what its menu does, for pilots
// whose simulator shows neither the add-on menu nor text lines. The
// commands act on the supported unit, as the add-on menu's items do.
#pragma once

#include <string>

#include "platform/tray_icon.h"

// "Nimbra Bridge: waiting for the simulator" until a profile is loaded, then
// "Nimbra Bridge: <SaveName> (LOCAL|GLOBAL), N of M LEDs lit", or "..., no
// unit found" when the unit is not open.
std::string IconTooltip();

// Carries out one choice of the menu and notes it in the log. Reload
// Bindings reloads whether or not the simulation runs (the pilot asked
// directly, unlike the add-on menu's item); Quit has already asked for the
// stop and is only noted here.
void RunIconCommand(platform::TrayCommand command);
