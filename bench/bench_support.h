// What the benchmarks that talk to simhost share.
#pragma once

#include <chrono>
#include <system_error>
#include <thread>

#include <benchmark/benchmark.h>

#include "app/process_state.h"
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

// Starts `host` and opens the link to it as the process-wide connection. On
// failure the benchmark is skipped with the reason and false comes back.
inline bool OpenLink(benchmark::State& state, simhost::SimHost& host) {
  if (!StartHost(host)) {
    state.SkipWithError("simhost cannot listen on the default pipe");
    return false;
  }
  HANDLE handle = nullptr;
  if (SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0) != S_OK) {
    state.SkipWithError("the link did not open");
    return false;
  }
  simHandle = handle;
  return true;
}

}  // namespace benchsupport
