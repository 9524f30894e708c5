// The TCP ports the simulator registers for its clients, one per address
// family. Windows keeps them in the user's registry; the POSIX port reads
// environment variables of the same names.
#pragma once

#include <cstddef>
#include <string>

#include "platform/io.h"

namespace platform {

// Longest value read, in bytes including its terminating zero.
inline constexpr std::size_t kRegisteredPortBytes = 20;

// The value (Windows) or environment variable (POSIX) that holds a family's port.
inline const char* RegisteredPortName(AddressFamily family) {
  return family == AddressFamily::IPv4 ? "SimConnect_Port_IPv4" : "SimConnect_Port_IPv6";
}

// The user's registry key that holds the values on Windows.
inline constexpr char kRegisteredPortsKey[] = "SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk";

// The registered port text for the family; empty when there is none or it
// does not fit in kRegisteredPortBytes.
std::string ReadRegisteredPort(AddressFamily family);

}  // namespace platform
