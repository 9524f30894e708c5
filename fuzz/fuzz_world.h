// What the fuzz targets share: a simulator handle that is a real connection
// object without a peer (every call builds its message, which is then
// dropped), the supported unit on virtual_unit, and a scratch file for the
// inputs that the code under test reads from disk.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/process_state.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "simlink/client_client.h"
#include "variables/variable_registry.h"
#include "virtual_unit.h"

namespace simlink {

// A connection object whose reads are completed by hand.
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
  // buffer has room for; returns how many it took.
  std::size_t Read(const std::uint8_t* data, std::size_t size) {
    const std::size_t room = client_->receiveCapacity_ - client_->writePos_;
    const std::size_t n = std::min(room, size);
    if (n == 0) return 0;
    std::memcpy(client_->receiveBuffer_.get() + client_->writePos_, data, n);
    client_->CompleteRead(static_cast<std::uint32_t>(n));
    return n;
  }

 private:
  ClientClient* client_;
};

}  // namespace simlink

namespace fuzzworld {

// The supported unit, under a name of its own so that its reload markers
// never meet those of a bridge running on the same machine.
inline HidDevice& Unit() {
  static HidDevice* unit = [] {
    virtual_unit::Reset();
    virtual_unit::SetRecording(false);  // millions of runs: keep no record
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
    devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId,
                                                  "Velk_Throttle_Fuzz", 4, 3));
    devices.back()->Initialise();
    // The bridge drops its devices before the registry goes at exit; so must
    // a fuzz target, and with no connection left to unregister on.
    std::atexit([] {
      simHandle = nullptr;
      devices.clear();
    });
    return static_cast<HidDevice*>(devices.back().get());
  }();
  return *unit;
}

// Drops the unit's bindings and its gate; then no variable may stay
// registered. The registry starts afresh: identifiers of registrations that
// failed on a lost connection stay taken for good, as they do in the bridge,
// whose connection is gone by then.
inline void DropBindings(HidDevice& unit) {
  unit.ClearBindings();
  unit.gateBinding.reset();
  if (!variableRegistry.entries().empty()) __builtin_trap();
  variableRegistry = VariableRegistry();
}

// A file of this process's own, rewritten with each input.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem)
      : path_("/dev/shm/" + stem + "." + std::to_string(::getpid())) {}
  ~ScratchFile() { std::remove(path_.c_str()); }

  const std::string& Write(const std::uint8_t* data, std::size_t size) {
    if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
      if (size > 0) std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace fuzzworld
