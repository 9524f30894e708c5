// The TCP ports the simulator registers for its clients, one per address
// family. Windows keeps them in the user's registry; the POSIX port reads
// environment variables of the same names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/io.h"

namespace platform {

// Longest value read, in bytes including its terminating zero.
inline constexpr std::size_t kRegisteredPortBytes = 20;

// The registered port text for the family; empty when there is none or it
// does not fit in kRegisteredPortBytes.
std::string ReadRegisteredPort(AddressFamily family);

// For tests: sets (or, with nullopt, removes) the registered port of a family.
// False when the system refused.
bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port);

}  // namespace platform
