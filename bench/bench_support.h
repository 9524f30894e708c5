// What the benchmarks that talk to simhost share.
#pragma once

#include <chrono>
#include <system_error>
#include <thread>

#include "sim_host.h"
#include "simlink/simconnect.h"

namespace benchsupport {

// A dispatch routine for draining the link's queue.
inline void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// The default pipe may still be held by a simulator stand-in of another
// program for a moment: try for a while.
inline bool StartHost(simhost::SimHost& host) {
  for (int attempt = 0; attempt < 30; ++attempt) {
    try {
      host.Start();
      return true;
    } catch (const std::system_error&) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
  return false;
}

}  // namespace benchsupport
