// Reads TCP_NODELAY of the socket behind an I/O handle.
#include "platform/tcp_nodelay_testing.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {

std::optional<bool> TcpNoDelayOf(IoHandle handle, std::uint16_t /*peerPort*/) {
  BOOL noDelay = FALSE;
  int length = sizeof(noDelay);
  if (getsockopt(static_cast<SOCKET>(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&noDelay),
                 &length) != 0) {
    return std::nullopt;
  }
  return noDelay != FALSE;
}

}  // namespace platform
