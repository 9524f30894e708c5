// One second of the idle bridge with a full profile (the gate and 28 LEDs
// with four conditions each, loaded from a file by ReloadJson), as the
// dispatch loop spends it: ten empty dispatch calls, six "6Hz" refreshes in
// a steady cockpit and one "1sec" event. Side by side: as before the profile
// watch and the icon (AutoReload off, no tooltip), with each, and with both
// (the file's look once a second; the tooltip's status taken after each of
// the ten pauses, and its text built when that changed, as the Windows loop
// does). The pauses themselves are not measured: they cost the same in all.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "app/dispatch.h"
#include "app/icon_menu.h"
#include "bench_support.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "support/temp_folder.h"
#include "variables/variable_registry.h"
#include "virtual_unit.h"

namespace {

using benchsupport::Ignore;

SIMCONNECT_RECV_EVENT Event(DWORD id, DWORD data) {
  SIMCONNECT_RECV_EVENT event{};
  event.dwSize = sizeof event;
  event.dwID = SIMCONNECT_RECV_ID_EVENT;
  event.uEventID = id;
  event.dwData = data;
  return event;
}

void Dispatch(SIMCONNECT_RECV_EVENT event) { DispatchCallback(&event, sizeof event, nullptr); }

void IdleSecond(benchmark::State& state) {
  const bool watch = (state.range(0) & 1) != 0;
  const bool icon = (state.range(0) & 2) != 0;
  const testsupport::TempFolder folder("nimbra-bench-idle-");
  folder.Write("Velk_Throttle_Config.json",
               "{\"SaveName\": \"Idle\", \"Language\": \"en\", \"LEDs\": [" + benchsupport::FullProfileLeds(false) + "]}");
  aircraftProfileDir = folder.Base();

  testsupport::OwnPipe pipe;
  simhost::SimHost host(benchsupport::HostOptions(pipe));
  if (!benchsupport::OpenLink(state, host)) return;
  HANDLE handle = simHandle;
  virtual_unit::Reset();
  virtual_unit::SetRecording(false);
  virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
  devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits));
  devices.back()->autoReload = watch;
  devices.back()->Initialise();
  devices.back()->ReloadJson(true);
  if (devices.back()->BindingCount() != 28) state.SkipWithError("the profile did not load");
  Dispatch(Event(kEventSim, 1));

  std::size_t tooltipBytes = 0;
  IconStatus shown;
  for (auto _ : state) {
    for (int pause = 0; pause < 10; ++pause) {
      SimConnect_CallDispatch(handle, &Ignore, nullptr);
      if (icon) {
        const IconStatus status = CurrentIconStatus();
        if (status != shown) tooltipBytes += IconTooltip(status).size();
        shown = status;
      }
      if (pause % 2 == 0) Dispatch(Event(kEvent6Hz, 0));  // five here, the sixth below
    }
    Dispatch(Event(kEvent6Hz, 0));
    Dispatch(Event(kEvent1Sec, 0));
  }
  benchmark::DoNotOptimize(tooltipBytes);
  state.counters["reports"] = static_cast<double>(virtual_unit::CallCount(virtual_unit::Call::Send));

  devices.clear();
  virtual_unit::SetRecording(true);
  SimConnect_CallDispatch(handle, &Ignore, nullptr);
  simHandle = nullptr;
  SimConnect_Close(handle);
  host.Stop();
  aircraftProfileDir.clear();
}

// 0: as before; 1: the profile watch; 2: the tooltip; 3: both.
BENCHMARK(IdleSecond)->ArgName("watch1_icon2")->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
