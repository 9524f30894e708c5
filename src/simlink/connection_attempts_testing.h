// A window on the transport choice for tests: every Connect it makes, in order,
// with the arguments it was given and whether it connected. Failed attempts
// leave no other trace, so this is how a test sees the fallback order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/io.h"
#include "simlink/cclient.h"

namespace simlink {

struct ConnectionAttempt {
  TransportKind kind;
  platform::AddressFamily family;  // meaningless for a pipe
  std::string address;
  std::string port;
  std::uint32_t maxReceiveSize;
  bool disableNagle;
  bool connected;
};

using ConnectionAttemptObserver = std::function<void(const ConnectionAttempt&)>;

// Installs the process-wide observer; an empty one removes it. Only the
// testing library defines it.
void SetConnectionAttemptObserver(ConnectionAttemptObserver observer);

}  // namespace simlink
