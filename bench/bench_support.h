// What the benchmarks that talk to simhost share.
#pragma once

#include <system_error>

#include <benchmark/benchmark.h>

#include "support/own_pipe.h"
#include "app/process_state.h"
#include "sim_host.h"
#include "simlink/simconnect.h"

namespace benchsupport {

// A dispatch routine for draining the link's queue.
inline void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// Starts `host`, made with the HostOptions() of an OwnPipe that lives until
// the link is open, and opens the link to it as the process-wide connection.
// On failure the benchmark is skipped with the reason and false comes back.
inline bool OpenLink(benchmark::State& state, simhost::SimHost& host) {
  try {
    host.Start();
  } catch (const std::system_error& e) {
    state.SkipWithError(e.what());
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
