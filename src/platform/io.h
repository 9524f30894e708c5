// Overlapped I/O on a named pipe or a TCP socket, with every completion
// delivered to one routine on a system I/O thread. The transport logic above
// this seam is the same on every platform.
#pragma once

#include <cstdint>
#include <string>

#include "platform/io_status.h"

namespace platform {

using IoHandle = std::uintptr_t;
inline constexpr IoHandle kInvalidIoHandle = ~static_cast<IoHandle>(0);

// An event handle of a pipe request; null when there is none.
using IoEvent = void*;

// Room for the system's overlapped record. A request struct keeps it as its
// first member so that the completion routine can find the request again.
struct alignas(8) OverlappedStorage {
  unsigned char bytes[32];
};

// result: how the request ended; bytes: transferred.
using IoCompletionRoutine = void (*)(IoResult result, std::uint32_t bytes, OverlappedStorage* overlapped);

enum class AddressFamily { IPv4, IPv6 };

// Opens the named pipe `name` (a "\\host\pipe\name" text) for overlapped I/O,
// waiting up to 5000 ms each time it is busy, and binds it to `routine`.
bool OpenPipe(const std::string& name, IoCompletionRoutine routine, IoHandle* out);

// Resolves address/port for the family, connects the first result only and
// binds the socket to `routine`.
bool ConnectTcp(AddressFamily family, const std::string& address, const std::string& port,
                IoCompletionRoutine routine, IoHandle* out);

// Sets TCP_NODELAY on a connected socket.
bool SetTcpNoDelay(IoHandle socket);

// Clears the system fields of an overlapped record, keeping its event.
void ResetOverlapped(OverlappedStorage* overlapped, IoEvent event);

// Start one read or write. When it started, its completion always arrives
// through the routine; when it did not, the result says why (never Success).
IoStart StartRead(IoHandle handle, bool isPipe, OverlappedStorage* overlapped, void* data, std::uint32_t length);
IoStart StartWrite(IoHandle handle, bool isPipe, OverlappedStorage* overlapped, const void* data,
                   std::uint32_t length);

// Socket teardown: shutdown both directions, cancel pending I/O, close.
void CloseSocket(IoHandle socket);
// Pipe teardown: close the handle (pending I/O completes with an error).
void ClosePipe(IoHandle pipe);

// Unnamed manual-reset non-signalled event for a pipe request. On failure
// returns null and stores the system error code.
IoEvent CreateIoEvent(std::uint32_t* error);
void CloseIoEvent(IoEvent event);

// The socket library (WSAStartup 2.0 / WSACleanup); always succeeds on POSIX.
bool StartSocketLibrary();
void CleanupSocketLibrary();

}  // namespace platform
