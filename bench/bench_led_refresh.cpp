// One RefreshLeds of the unit with a full profile (the gate and 28 LEDs with
// four conditions each, loaded through LoadBindings), beside the evaluation
// benchmark: once with a steady cockpit, where nothing is sent, and once with
// every LED flipping at each refresh, where the report goes to the unit; and
// once with every LED blinking, at the six rates in turn.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <rapidjson/document.h>

#include "bench_support.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "variables/variable_registry.h"
#include "virtual_unit.h"

namespace {

using benchsupport::Ignore;

std::string FullProfile(bool blinking) {
  return "{\"Language\": \"en\", \"LEDs\": [" + benchsupport::FullProfileLeds(blinking) + "]}";
}

void Store(const std::string& reference, std::int32_t value) {
  const SimVariable* variable = variableRegistry.FindVariable(reference);
  if (variable != nullptr) {
    variableRegistry.StoreValue(static_cast<std::uint32_t>(variable->defineId),
                                reinterpret_cast<const std::uint8_t*>(&value), sizeof value);
  }
}

void RefreshLeds(benchmark::State& state, bool flipping, bool blinking = false) {
  testsupport::OwnPipe pipe;
  simhost::SimHost host(benchsupport::HostOptions(pipe));
  if (!benchsupport::OpenLink(state, host)) return;
  HANDLE handle = simHandle;
  virtual_unit::Reset();
  virtual_unit::SetRecording(false);  // millions of reports would only fill memory
  virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});

  {
    HidDevice unit(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits);
    unit.Initialise();
    rapidjson::Document profile;
    profile.Parse(FullProfile(blinking).c_str());
    unit.languageKey = "en";
    unit.LoadBindings(profile);
    if (unit.BindingCount() != 28 || unit.hidHandle == nullptr) state.SkipWithError("the profile did not load");
    Store("A:MASTER,Bool", 1);
    Store("A:TOGGLE,Bool", 1);
    unit.RefreshLeds();

    std::int32_t toggle = 1;
    for (auto _ : state) {
      if (flipping) Store("A:TOGGLE,Bool", toggle ^= 1);
      unit.RefreshLeds();
      benchmark::DoNotOptimize(unit.ledReport);
    }
    state.counters["reports"] = static_cast<double>(virtual_unit::CallCount(virtual_unit::Call::Send));
    state.counters["conditions"] = 28 * 4 + 1;
    SimConnect_CallDispatch(handle, &Ignore, nullptr);
  }
  virtual_unit::SetRecording(true);
  simHandle = nullptr;
  SimConnect_Close(handle);
  host.Stop();
}

void BM_RefreshLedsSteady(benchmark::State& state) { RefreshLeds(state, false); }
void BM_RefreshLedsEveryLedFlips(benchmark::State& state) { RefreshLeds(state, true); }
void BM_RefreshLedsEveryLedBlinks(benchmark::State& state) { RefreshLeds(state, false, true); }
BENCHMARK(BM_RefreshLedsSteady)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshLedsEveryLedFlips)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshLedsEveryLedBlinks)->Unit(benchmark::kMicrosecond);

}  // namespace
