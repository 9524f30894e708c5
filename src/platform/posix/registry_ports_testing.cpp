// Registered ports set as the environment variables the POSIX side reads.
#include "platform/registry_ports_testing.h"

#include <cstdlib>

namespace platform {

bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port) {
  if (!port) return unsetenv(RegisteredPortName(family)) == 0;
  return setenv(RegisteredPortName(family), port->c_str(), 1) == 0;
}

}  // namespace platform
