// The Windows back end's translation of system codes into the I/O seam's
// results, on its own so that its table can be checked without real I/O (the
// NTSTATUS half never arrives under Wine).
#pragma once

#include <cstdint>

#include "platform/io_status.h"

namespace platform {

// A completion status: an NTSTATUS on Windows, the Win32 code Wine makes of it.
IoResult ResultOfStatus(std::uint32_t status);

// Why a read or write did not start, from the error code its call left.
IoStart NotStarted(std::uint32_t error);

}  // namespace platform
