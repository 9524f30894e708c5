// The bridge's whole life in one constructor: open the link, subscribe, add
// the menu and the devices, dispatch until the link ends or a stop is asked
// for, then tear everything down in the order that leaves the unit dark and
// the simulator's menu clean.
#include "app/bridge_app.h"

#include <optional>

#include "app/dispatch.h"
#include "app/icon_menu.h"
#include "app/menu.h"
#include "app/process_state.h"
#include "app/report_message.h"
#include "app/settings.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "platform/log_output.h"
#include "platform/stop_request.h"
#include "platform/tray_icon.h"
#include "simlink/link_lost.h"

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
                                                  LedLimits{static_cast<std::uint32_t>(descriptor.lastByteIndex),
                                                            static_cast<std::uint32_t>(descriptor.lastByteMaxBit)},
                                                  settings.unit));
    devices.back()->packagesPath = settings.packagesPath;
    devices.back()->autoReload = settings.autoReload;
  }
  InitialiseDevices();
}

// The icon, where the settings leave it on; one log line when there is none.
std::unique_ptr<platform::TrayIcon> MakeIcon(const BridgeSettings& settings) {
  if (!settings.trayIcon) return nullptr;
  std::string note;
  auto icon = platform::TrayIcon::Create(&note);
  if (!note.empty()) LogLine(note);
  return icon;
}

// The pause between two dispatch calls: with the icon, its messages are
// handled and its choices carried out meanwhile; the pause stays 100 ms.
// The tooltip's text is built only when what it says has changed.
void Pause(platform::TrayIcon* icon, std::optional<IconStatus>& shown) {
  platform::WaitHandlingMessages(kDispatchPauseMs);
  if (icon == nullptr) return;
  for (const platform::TrayCommand command : icon->TakeCommands()) RunIconCommand(command);
  const IconStatus status = CurrentIconStatus();
  if (status != shown) {
    icon->SetTooltip(IconTooltip(status));
    shown = status;
  }
  if (const auto* device = SupportedDevice()) icon->SetShowBindingsChecked((*device)->showBindings);
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

// A menu refused because the link has just ended is no fault of the menu:
// that end is reported once, by the dispatch loop.
void InitialiseDevices() {
  for (const auto& device : devices) {
    device->Initialise();
    if (AddDeviceMenu(device) != 0 && !SimConnectLinkLost(simHandle)) {
      ReportMessage("Failed to Initialize SimConBelowTheLine", "NimbraBridge", true);
    }
  }
}

BridgeApp::BridgeApp() {
  OpenBridgeLog(platform::DefaultLogPath());
  LogLine("Nimbra Bridge started");
  const std::string settingsFile = SettingsFilePath();
  const BridgeSettings settings = ReadSettings(settingsFile);
  LogLine(DescribeSettings(settingsFile, settings));
  if (!settings.problem.empty()) ReportMessage(settings.problem, kSettingsCaption, true);
  if (!OpenSimulator()) {
    ReportMessage("Failed to Initialize SimConnectToTheLine", "NimbraBridge", true);
    Shutdown();
    return;
  }
  LogLine("connection opened");
  CreateDevices(settings);
  std::unique_ptr<platform::TrayIcon> icon = MakeIcon(settings);
  std::optional<IconStatus> tooltipShown;
  // A lost link and a stop asked from outside (a signal, the icon's Quit)
  // end the loop alike. A link lost before the simulator ever answered the
  // open message never came up (a simulator serving all the clients it may
  // closes new ones at once): that is said as a failed open is, whether the
  // loss showed during the open calls or only here.
  bool opened = false;
  HRESULT result = SimConnect_CallDispatch(simHandle, DispatchNotingOpen, &opened);
  while (result >= 0 && !platform::StopRequested()) {
    Pause(icon.get(), tooltipShown);
    if (platform::StopRequested()) break;
    result = SimConnect_CallDispatch(simHandle, DispatchNotingOpen, &opened);
  }
  LogLine(result < 0 ? "connection lost" : "stop requested");
  if (result < 0 && !opened) ReportMessage("Failed to Initialize SimConnectToTheLine", "NimbraBridge", true);
  Shutdown();
  icon.reset();
  LogLine("Nimbra Bridge ended");
}

BridgeApp::~BridgeApp() { Shutdown(); }

void Shutdown() {
  if (simHandle != nullptr) {
    for (const auto& device : devices) {
      SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, ReloadItemId(device->typeId));
      SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, ShowHideItemId(device->typeId));
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
