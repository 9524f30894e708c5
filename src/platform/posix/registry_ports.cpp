// Registered ports from the environment variables SimConnect_Port_IPv4 and
// SimConnect_Port_IPv6, held to the registry value's size limit.
#include "platform/registry_ports.h"

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

const char* VariableName(AddressFamily family) {
  return family == AddressFamily::IPv4 ? "SimConnect_Port_IPv4" : "SimConnect_Port_IPv6";
}

}  // namespace

std::string ReadRegisteredPort(AddressFamily family) {
  const char* value = std::getenv(VariableName(family));
  if (value == nullptr) return {};
  // A registry text of kRegisteredPortBytes holds at most one character less.
  if (std::strlen(value) >= kRegisteredPortBytes) return {};
  return value;
}

bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port) {
  if (!port) return unsetenv(VariableName(family)) == 0;
  return setenv(VariableName(family), port->c_str(), 1) == 0;
}

}  // namespace platform
