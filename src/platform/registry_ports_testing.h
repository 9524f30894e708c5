// Setting the registered ports, which only tests do: the product reads them
// and never writes the user's registry.
#pragma once

#include <optional>
#include <string>

#include "platform/registry_ports.h"

namespace platform {

// Sets (or, with nullopt, removes) the registered port of a family. False when
// the system refused.
bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port);

}  // namespace platform
