// For tests: reads back whether TCP_NODELAY is on for a connected socket of
// this process, so that a test can see the option on the real socket.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/io.h"

namespace platform {

// The TCP_NODELAY setting of the client socket behind `handle`, whose peer is
// the local listener on `peerPort`; nullopt when no such socket is found.
// On Windows the handle is the socket. On POSIX, where a handle names a
// channel of the I/O thread, the process's own TCP socket connected to
// `peerPort` is found instead (it must be the only one).
std::optional<bool> TcpNoDelayOf(IoHandle handle, std::uint16_t peerPort);

}  // namespace platform
