// Registered ports from the environment variables SimConnect_Port_IPv4 and
// SimConnect_Port_IPv6, held to the registry value's size limit.
#include "platform/registry_ports.h"

#include <cstdlib>
#include <cstring>

namespace platform {

std::string ReadRegisteredPort(AddressFamily family) {
  const char* value = std::getenv(RegisteredPortName(family));
  if (value == nullptr) return {};
  // A registry text of kRegisteredPortBytes holds at most one character less.
  if (std::strlen(value) >= kRegisteredPortBytes) return {};
  return value;
}

}  // namespace platform
