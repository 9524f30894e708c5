// The testing library's window into a connection object, for tests, fuzz
// targets and benchmarks. A probe owns a connection without a peer whose reads
// are completed by hand: the bytes go through the real read completion,
// message cutting and receive queue, and every call it makes builds its
// message, which is then dropped. Static helpers reach into any connection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simlink/client_client.h"

namespace simlink {

class TransportProbe {
 public:
  explicit TransportProbe(std::uint32_t maxReceiveSize = kDefaultMaxReceiveSize);
  ~TransportProbe();
  TransportProbe(const TransportProbe&) = delete;
  TransportProbe& operator=(const TransportProbe&) = delete;

  HANDLE handle() const { return client_; }
  bool lost() const;

  // One read completion with up to `size` bytes, as many as the receive
  // buffer has room for, as a real read delivers; returns how many it took.
  std::size_t Read(const std::uint8_t* data, std::size_t size);

  // Empties the receive queue; returns how many messages it held.
  std::size_t TakeReceived();

  // The I/O handle behind a connection (on Windows the socket itself).
  static platform::IoHandle Handle(const CClient& client);
  // Makes `id` the last send identifier used, so that the next call uses the one after it.
  static void SetLastSendId(ClientClient& client, std::uint32_t id);

 private:
  ClientClient* client_;
};

}  // namespace simlink
