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

// LED n sits at byte 1 + n / 8, bit n % 8, and holds when TOGGLE is 1 and
// three more conditions on shared variables hold as well.
std::string FullProfile(bool blinking) {
  static const char* const kRates[] = {"3", "1.5", "1", "0.75", "0.6", "0.5"};
  std::string leds = "{\"ByteIndex\": 0, \"BitIndex\": 0, \"Condition\": \"A:MASTER,Bool\", \"ConditionValue\": true}";
  for (int led = 0; led < 28; ++led) {
    leds += ", {\"ByteIndex\": " + std::to_string(1 + led / 8) + ", \"BitIndex\": " + std::to_string(led % 8) +
            ", \"en\": \"LED " + std::to_string(led) + "\", " +
            (blinking ? std::string("\"Blink\": ") + kRates[led % 6] + ", " : std::string()) + "\"Conditions\": [" +
            "{\"Condition\": \"A:TOGGLE,Bool\", \"ConditionValue\": true}, " +
            "{\"Condition\": \"A:VALUE " + std::to_string(led % 12) + ",percent\", \"ConditionValue\": \">=0\"}, " +
            "{\"Condition\": \"A:VALUE " + std::to_string((led + 5) % 12) + ",percent\", \"ConditionValue\": \"<100\"}, " +
            "{\"Condition\": \"A:STATE " + std::to_string(led % 6) + ",Bool\", \"ConditionValue\": \"!=1\"}]}";
  }
  return "{\"Language\": \"en\", \"LEDs\": [" + leds + "]}";
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
  simhost::Options options = pipe.HostOptions();
  options.knownNamesOnly = false;  // placeholder names: the load is the point
  simhost::SimHost host(options);
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
