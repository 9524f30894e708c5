// A connection object of the link without a peer, whose reads are completed
// by hand: the bytes go through the real read completion, message cutting and
// receive queue. Every call it makes builds its message, which is then dropped.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "simlink/client_client.h"

namespace simlink {

class TransportProbe {
 public:
  explicit TransportProbe(std::uint32_t maxReceiveSize = kDefaultMaxReceiveSize)
      : client_(ClientClient::Create(TransportKind::Pipe)) {
    client_->Attach(platform::kInvalidIoHandle, maxReceiveSize, false);
  }
  ~TransportProbe() { client_->Release(); }
  TransportProbe(const TransportProbe&) = delete;
  TransportProbe& operator=(const TransportProbe&) = delete;

  HANDLE handle() const { return client_; }
  bool lost() const { return client_->IsLost(nullptr); }

  // One read completion with up to `size` bytes, as many as the receive
  // buffer has room for, as a real read delivers; returns how many it took.
  std::size_t Read(const std::uint8_t* data, std::size_t size) {
    const std::size_t n = std::min<std::size_t>(client_->receiveCapacity_ - client_->writePos_, size);
    if (n == 0) return 0;
    std::memcpy(client_->receiveBuffer_.get() + client_->writePos_, data, n);
    client_->CompleteRead(static_cast<std::uint32_t>(n));
    return n;
  }

  // Empties the receive queue; returns how many messages it held.
  std::size_t TakeReceived() { return client_->TakeReceived().size(); }

 private:
  ClientClient* client_;
};

}  // namespace simlink
