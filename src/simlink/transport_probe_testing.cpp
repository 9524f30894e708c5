// The probe's reach into the connection's private state, kept in the testing
// library so that the product cannot call it.
#include "simlink/transport_probe_testing.h"

#include <algorithm>
#include <cstring>

namespace simlink {

TransportProbe::TransportProbe(std::uint32_t maxReceiveSize) : client_(ClientClient::Create(TransportKind::Pipe)) {
  client_->Attach(platform::kInvalidIoHandle, maxReceiveSize, false);
}

TransportProbe::~TransportProbe() { client_->Release(); }

bool TransportProbe::lost() const { return client_->IsLost(nullptr); }

std::size_t TransportProbe::Read(const std::uint8_t* data, std::size_t size) {
  const std::size_t n = std::min<std::size_t>(client_->receiveCapacity_ - client_->writePos_, size);
  if (n == 0) return 0;
  std::memcpy(client_->receiveBuffer_.get() + client_->writePos_, data, n);
  client_->CompleteRead(static_cast<std::uint32_t>(n));
  return n;
}

std::size_t TransportProbe::TakeReceived() { return client_->TakeReceived().size(); }

platform::IoHandle TransportProbe::Handle(const CClient& client) { return client.handle_; }

void TransportProbe::SetLastSendId(ClientClient& client, std::uint32_t id) { client.lastSendId_ = id; }

}  // namespace simlink
