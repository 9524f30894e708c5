// A simhost on its own thread and the real link opened to it, for tests that
// drive the client calls over a real pipe or socket.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "sim_host.h"
#include "boxes.h"
#include "simlink/client_client.h"
#include "simlink/simconnect.h"

namespace testsupport {

using namespace std::chrono_literals;

// Every message a dispatch call hands over, copied.
struct Received {
  std::vector<std::vector<std::uint8_t>> messages;

  static void Collect(SIMCONNECT_RECV* data, DWORD size, void* context) {
    auto* self = static_cast<Received*>(context);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    self->messages.emplace_back(bytes, bytes + size);
  }
  std::uint32_t Id(std::size_t i) const { return reinterpret_cast<const SIMCONNECT_RECV*>(messages[i].data())->dwID; }
};

// Calls SimConnect_CallDispatch every 10 ms until `done` holds or the time
// runs out; returns the last result.
inline HRESULT DispatchUntil(HANDLE handle, Received& into, const std::function<bool()>& done,
                             std::chrono::milliseconds timeout = 3000ms) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  HRESULT result = S_OK;
  for (;;) {
    result = SimConnect_CallDispatch(handle, &Received::Collect, &into);
    if (done() || result < 0 || std::chrono::steady_clock::now() > end) return result;
    std::this_thread::sleep_for(10ms);
  }
}

// Waits until every connection object is gone (they may outlive a close on
// the I/O thread).
inline bool WaitForNoConnections(std::chrono::milliseconds timeout = 3000ms) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (simlink::CClient::LiveCClients() != 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

inline simhost::Options QuietHost() {
  simhost::Options options;
  options.valuePeriod = std::chrono::milliseconds(20);
  return options;
}

}  // namespace testsupport
