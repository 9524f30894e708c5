// One LED refresh of a full profile: the gate and 28 LEDs with four
// conditions each, evaluated against values that simhost delivered over the
// real link, as the six-times-a-second refresh does.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "app/process_state.h"
#include "profiles/condition.h"
#include "profiles/evaluation.h"
#include "sim_host.h"
#include "simlink/simconnect.h"
#include "variables/variable_registry.h"

namespace {

using namespace std::chrono_literals;

using benchsupport::Ignore;

// Stores every received value in the process-wide registry.
void StoreValues(SIMCONNECT_RECV* message, DWORD size, void* context) {
  if (message->dwID != SIMCONNECT_RECV_ID_SIMOBJECT_DATA || size < kSimObjectDataOffset) return;
  const auto* data = reinterpret_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(message);
  variableRegistry.StoreValue(data->dwRequestID, reinterpret_cast<const std::uint8_t*>(message) + kSimObjectDataOffset,
                              size - kSimObjectDataOffset);
  ++*static_cast<int*>(context);
}

void BM_RefreshFullProfile(benchmark::State& state) {
  testsupport::OwnPipe pipe;
  simhost::Options options = benchsupport::HostOptions(pipe);
  options.valuePeriod = 10ms;
  simhost::SimHost host(options);
  if (!benchsupport::OpenLink(state, host)) return;
  HANDLE handle = simHandle;

  // 48 distinct variables, half Bool and half Number, shared between LEDs as
  // a real profile shares them.
  constexpr int kVariables = 48;
  for (int v = 0; v < kVariables; ++v) {
    if (v % 2 == 0) {
      host.SetValue("LIGHT STATE:" + std::to_string(v), "Bool", v % 4 == 0 ? 1 : 0);
    } else {
      host.SetValue("ENGINE VALUE:" + std::to_string(v), "percent", v * 2.5);
    }
  }
  auto reference = [](int v) {
    return v % 2 == 0 ? "A:LIGHT STATE:" + std::to_string(v) + ",Bool"
                      : "A:ENGINE VALUE:" + std::to_string(v) + ",percent";
  };
  const char* const boolValues[] = {"TRUE", "FALSE", "!=0", "==1"};
  const char* const numberValues[] = {">=40", "<100.5", "!=0", "<=12.5"};

  std::vector<std::unique_ptr<ConditionSet>> leds;
  for (int led = 0; led < 28; ++led) {
    std::vector<Condition> conditions;
    for (int c = 0; c < 4; ++c) {
      const int v = (led * 7 + c * 5) % kVariables;
      const char* value = v % 2 == 0 ? boolValues[(led + c) % 4] : numberValues[(led + c) % 4];
      conditions.push_back(MakeCondition(reference(v), value).condition);
    }
    leds.push_back(std::make_unique<ConditionSet>(variableRegistry, "LED " + std::to_string(led), std::move(conditions), led % 3 == 0));
  }
  const ConditionSet gate(variableRegistry, "gate", {MakeCondition("A:ELECTRICAL MASTER BATTERY,Bool", "TRUE").condition}, false);
  host.SetValue("ELECTRICAL MASTER BATTERY", "Bool", 1);

  int received = 0;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (received < kVariables + 1 && std::chrono::steady_clock::now() < end) {
    SimConnect_CallDispatch(handle, &StoreValues, &received);
    std::this_thread::sleep_for(5ms);
  }
  if (received < kVariables + 1) state.SkipWithError("not every value arrived");

  int lit = 0;
  for (auto _ : state) {
    bool gateOpen = EvaluateConditionSet(gate);
    benchmark::DoNotOptimize(gateOpen);
    lit = 0;
    for (const auto& led : leds) lit += EvaluateConditionSet(*led) ? 1 : 0;
    benchmark::DoNotOptimize(lit);
  }
  state.counters["conditions"] = 28 * 4 + 1;
  state.counters["lit"] = lit;

  leds.clear();
  SimConnect_CallDispatch(handle, &Ignore, nullptr);
  simHandle = nullptr;
  SimConnect_Close(handle);
  host.Stop();
}
BENCHMARK(BM_RefreshFullProfile)->Unit(benchmark::kMicrosecond);

}  // namespace
