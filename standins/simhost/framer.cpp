// One client's stream, cut into messages.
#include "framer.h"

namespace simhost {
namespace {

// The start of a stream that cannot be cut, as a refused message.
ClientMessage RefusedStream(Bytes rest, std::uint32_t messageSize) {
  ClientMessage m;
  if (rest.size() > 64) rest.resize(64);  // enough to see what it was
  m.bytes = rest;
  m.size = messageSize;
  if (rest.size() >= 8) m.version = ReadU32(&rest[4]);
  if (rest.size() >= 12) m.type = ReadU32(&rest[8]);
  if (rest.size() >= 16) m.sendId = ReadU32(&rest[12]);
  m.refused = true;
  m.reason = "size field " + std::to_string(messageSize) +
             (messageSize < wire::kClientHeaderSize ? " is smaller than the header" : " is larger than any client message") +
             "; closing the connection";
  return m;
}

}  // namespace

void Framer::Append(const std::uint8_t* data, std::size_t size) {
  if (refused_) return;
  rx_.insert(rx_.end(), data, data + size);
}

std::optional<ClientMessage> Framer::Next() {
  if (refused_) return std::nullopt;
  if (rx_.size() - used_ >= 4) {
    const std::uint32_t messageSize = ReadU32(rx_.data() + used_);
    if (messageSize < wire::kClientHeaderSize || messageSize > wire::kMaxClientMessage) {
      ClientMessage m = RefusedStream(Bytes(rx_.begin() + used_, rx_.end()), messageSize);
      refused_ = true;
      Clear();
      return m;
    }
    if (rx_.size() - used_ >= messageSize) {
      Bytes message(rx_.begin() + used_, rx_.begin() + used_ + messageSize);
      used_ += messageSize;
      return DecodeClientMessage(message);
    }
  }
  // Waiting for more: keep only the part not handed out yet.
  rx_.erase(rx_.begin(), rx_.begin() + used_);
  used_ = 0;
  return std::nullopt;
}

void Framer::Clear() {
  rx_.clear();
  used_ = 0;
}

}  // namespace simhost
