// How an I/O request ended, or why it could not start, in one vocabulary for
// every platform. Each back end translates its system's codes into it once
// (Asio's error codes on POSIX; NTSTATUS values, and the Win32 codes Wine
// delivers instead, on Windows), so the code above the seam never sees a
// system number; the link turns these into its own loss codes in one place.
#pragma once

#include <cstdint>

namespace platform {

enum class IoStatus {
  Success,           // done; on TCP also the end of the stream, with 0 bytes
  BufferOverflow,    // a pipe read took part of a message; the rest comes next
  Cancelled,         // the handle was closed while the request was pending
  PipeBroken,        // the other end of the pipe closed (on POSIX also EPIPE)
  ConnectionReset,   // the peer reset the connection
  RemoteDisconnect,  // the peer disconnected
  Other,             // anything else
};

// The outcome of one request. For Other, `systemCode` keeps the failure
// status the system named, in NTSTATUS form, where it names one (Windows,
// which the link reports as it is); 0 where there is none to tell.
struct IoResult {
  IoStatus status = IoStatus::Success;
  std::uint32_t systemCode = 0;
};

// Whether a read or write started. A started request always completes through
// the completion routine (also when it finished at once); one that did not
// start never does.
struct IoStart {
  bool started = true;
  IoResult failure;  // why it did not start
};

}  // namespace platform
