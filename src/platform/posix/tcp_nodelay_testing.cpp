// Finds this process's TCP socket connected to a given peer port among its
// open descriptors and reads its TCP_NODELAY option.
#include "platform/tcp_nodelay_testing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

std::optional<std::uint16_t> PeerPort(int fd) {
  sockaddr_storage peer{};
  socklen_t length = sizeof(peer);
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return std::nullopt;
  if (peer.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
  if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port);
  return std::nullopt;
}

}  // namespace

std::optional<bool> TcpNoDelayOf(IoHandle /*handle*/, std::uint16_t peerPort) {
  std::error_code ec;
  std::optional<bool> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const int fd = std::atoi(entry.path().filename().c_str());
    int type = 0;
    socklen_t length = sizeof(type);
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) continue;
    if (PeerPort(fd) != peerPort) continue;
    int noDelay = 0;
    length = sizeof(noDelay);
    if (getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length) != 0) continue;
    if (found) return std::nullopt;  // more than one: the answer would be a guess
    found = noDelay != 0;
  }
  return found;
}

}  // namespace platform
