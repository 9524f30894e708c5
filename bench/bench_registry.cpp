// Acquiring and releasing 500 distinct variables: 2000 registration and
// unregistration messages over the real link to simhost, and the linear
// search for free identifiers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "app/process_state.h"
#include "profiles/condition.h"
#include "sim_host.h"
#include "simlink/simconnect.h"
#include "variables/variable_registry.h"

namespace {

using namespace std::chrono_literals;

using benchsupport::Ignore;

void BM_AcquireRelease500(benchmark::State& state) {
  testsupport::OwnPipe pipe;
  simhost::Options options = benchsupport::HostOptions(pipe);
  options.valuePeriod = 10ms;
  simhost::SimHost host(options);
  if (!benchsupport::OpenLink(state, host)) return;
  HANDLE handle = simHandle;

  std::vector<Condition> conditions;
  for (int v = 0; v < 500; ++v) {
    const std::string reference =
        v % 2 == 0 ? "A:LIGHT STATE:" + std::to_string(v) + ",Bool" : "A:ENGINE VALUE:" + std::to_string(v) + ",percent";
    conditions.push_back(MakeCondition(reference, "1").condition);
  }
  std::vector<VariableUse> uses;
  for (const Condition& condition : conditions) uses.push_back({condition.reference, condition.valueType});

  VariableRegistry registry;
  std::size_t registered = 0;
  for (auto _ : state) {
    registry.AcquireVariables(uses);
    registered = registry.entries().size();
    registry.ReleaseVariables(uses);
    // Drain the first values simhost answers with, as the dispatch loop would.
    state.PauseTiming();
    SimConnect_CallDispatch(handle, &Ignore, nullptr);
    state.ResumeTiming();
  }
  if (registered != conditions.size()) state.SkipWithError("not every variable was registered");
  state.counters["variables"] = static_cast<double>(conditions.size());
  state.counters["messages_per_s"] =
      benchmark::Counter(4.0 * static_cast<double>(conditions.size()), benchmark::Counter::kIsIterationInvariantRate);

  simHandle = nullptr;
  SimConnect_Close(handle);
  host.Stop();
}
BENCHMARK(BM_AcquireRelease500)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
