// Cutting one client's byte stream into messages. Bytes arrive in chunks of
// any size; each whole message is decoded as it completes. A size field that
// no client message can have leaves no way to find the next message: the
// stream is then refused as a whole (one refused message that shows its
// start) and everything after it is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol.h"

namespace simhost {

class Framer {
 public:
  // Takes the bytes in; nothing once the stream was refused.
  void Append(const std::uint8_t* data, std::size_t size);
  // The next whole message, or nothing until more bytes arrive.
  std::optional<ClientMessage> Next();
  // The stream could not be cut any more; the connection is to be closed.
  bool Refused() const { return refused_; }
  // Drops what was held (the connection ended).
  void Clear();

 private:
  Bytes rx_;
  std::size_t used_ = 0;  // bytes at the front already handed out
  bool refused_ = false;
};

}  // namespace simhost
