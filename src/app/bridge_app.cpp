#include "app/bridge_app.h"

#include "app/dispatch.h"
#include "app/menu.h"
#include "app/process_state.h"
#include "app/report_message.h"
#include "app/settings.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "platform/sleep.h"
#include "platform/stop_request.h"

namespace {

constexpr unsigned kDispatchPauseMs = 100;

// Opens the link, subscribes to the system events and adds the top menu
// entry; each call only when all before it succeeded. Then asks once which
// aircraft is loaded, so that a bridge started mid-flight loads that
// aircraft's profile without waiting for the next aircraft load; the answer
// arrives through the dispatch, and a request that fails or is never
// answered changes nothing.
bool OpenSimulator() {
  if (SimConnect_Open(&simHandle, "Nimbra_Bridge", nullptr, 0, nullptr, 0) < 0) return false;
  if (SimConnect_SubscribeToSystemEvent(simHandle, kEventSim, "Sim") < 0) return false;
  if (SimConnect_SubscribeToSystemEvent(simHandle, kEvent6Hz, "6Hz") < 0) return false;
  if (SimConnect_SubscribeToSystemEvent(simHandle, kEvent1Sec, "1sec") < 0) return false;
  if (SimConnect_SubscribeToSystemEvent(simHandle, kEventAircraftLoaded, "AircraftLoaded") < 0) return false;
  if (SimConnect_MenuAddItem(simHandle, "Corvane", kMenuTopEventId, 0) != 0) return false;
  SimConnect_RequestSystemState(simHandle, kAircraftStateRequestId, "AircraftLoaded");
  return true;
}

// Creates one device per supported unit, then opens them and adds their menus.
void CreateDevices(const BridgeSettings& settings) {
  deviceDescriptors.push_back({.lastByteMaxBit = kSupportedUnitLastByteMaxBit,
                               .lastByteIndex = kSupportedUnitLastByteIndex,
                               .name = kSupportedUnitName,
                               .productId = settings.unit.productId,
                               .vendorId = settings.unit.vendorId});
  for (const DeviceDescriptor& descriptor : deviceDescriptors) {
    devices.push_back(std::make_unique<HidDevice>(descriptor.vendorId, descriptor.productId, descriptor.name,
                                                  descriptor.lastByteIndex, descriptor.lastByteMaxBit, settings.unit));
    devices.back()->packagesPath = settings.packagesPath;
  }
  InitialiseDevices();
}

// The dispatch of the main loop, noting on the way whether the simulator has
// answered the open message.
void DispatchNotingOpen(SIMCONNECT_RECV* pData, DWORD cbData, void* opened) {
  if (pData != nullptr && cbData >= sizeof(SIMCONNECT_RECV) && pData->dwID == SIMCONNECT_RECV_ID_OPEN) {
    *static_cast<bool*>(opened) = true;
  }
  DispatchCallback(pData, cbData, nullptr);
}

}  // namespace

void InitialiseDevices() {
  for (const auto& device : devices) {
    device->Initialise();
    if (AddDeviceMenu(device) != 0) {
      ReportMessage("Failed to Initialize SimConBelowTheLine", "NimbraBridge", true);
    }
  }
}

BridgeApp::BridgeApp() {
  const BridgeSettings settings = ReadSettings(SettingsFilePath());
  if (!settings.problem.empty()) ReportMessage(settings.problem, kSettingsCaption, true);
  if (!OpenSimulator()) {
    ReportMessage("Failed to Initialize SimConnectToTheLine", "NimbraBridge", true);
    Shutdown();
    return;
  }
  CreateDevices(settings);
  // A lost link and a stop asked from outside end the loop alike. A link
  // lost before the simulator ever answered the open message never came up
  // (a simulator serving all the clients it may closes new ones at once):
  // that is said as a failed open is, whether the loss showed during the
  // open calls or only here.
  bool opened = false;
  HRESULT result = SimConnect_CallDispatch(simHandle, DispatchNotingOpen, &opened);
  while (result >= 0 && !platform::StopRequested()) {
    platform::SleepMilliseconds(kDispatchPauseMs);
    result = SimConnect_CallDispatch(simHandle, DispatchNotingOpen, &opened);
  }
  if (result < 0 && !opened) ReportMessage("Failed to Initialize SimConnectToTheLine", "NimbraBridge", true);
  Shutdown();
}

BridgeApp::~BridgeApp() { Shutdown(); }

void Shutdown() {
  if (simHandle != nullptr) {
    for (const auto& device : devices) {
      SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, static_cast<DWORD>(device->typeId + 1));
      SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, static_cast<DWORD>(device->typeId + 2));
    }
  }
  for (auto& device : devices) device.reset();
  devices.clear();
  if (simHandle != nullptr) {
    SimConnect_MenuDeleteItem(simHandle, kMenuTopEventId);
    SimConnect_Close(simHandle);
    simHandle = nullptr;
  }
}
