// Every received message comes through here on the main thread. A message is
// read only as far as its received length reaches: one shorter than its
// layout changes nothing, and a file name ends at the end of its field even
// when the simulator left out the terminating zero.
#include "app/dispatch.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "app/aircraft_dir.h"
#include "app/menu.h"
#include "app/process_state.h"
#include "app/report_message.h"
#include "devices/device.h"
#include "devices/supported_unit.h"
#include "simlink/field_text.h"
#include "variables/variable_registry.h"

namespace {

constexpr DWORD kEventReloadBindings = ReloadItemId(kSupportedUnitTypeId);
constexpr DWORD kEventShowHideBindings = ShowHideItemId(kSupportedUnitTypeId);

// The simulator's exception names by code; two of them end in a blank.
constexpr const char* const kExceptionNames[] = {
    "SIMCONNECT_EXCEPTION_NONE",
    "SIMCONNECT_EXCEPTION_ERROR",
    "SIMCONNECT_EXCEPTION_SIZE_MISMATCH",
    "SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID",
    "SIMCONNECT_EXCEPTION_UNOPENED",
    "SIMCONNECT_EXCEPTION_VERSION_MISMATCH",
    "SIMCONNECT_EXCEPTION_TOO_MANY_GROUPS",
    "SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED",
    "SIMCONNECT_EXCEPTION_TOO_MANY_EVENT_NAMES",
    "SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE",
    "SIMCONNECT_EXCEPTION_TOO_MANY_MAPS",
    "SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS",
    "SIMCONNECT_EXCEPTION_TOO_MANY_REQUESTS",
    "SIMCONNECT_EXCEPTION_WEATHER_INVALID_PORT",
    "SIMCONNECT_EXCEPTION_WEATHER_INVALID_METAR",
    "SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_GET_OBSERVATION",
    "SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_CREATE_STATION",
    "SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_REMOVE_STATION",
    "SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE",
    "SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE",
    "SIMCONNECT_EXCEPTION_DATA_ERROR",
    "SIMCONNECT_EXCEPTION_INVALID_ARRAY",
    "SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED",
    "SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED",
    "SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OJBECT_TYPE",
    "SIMCONNECT_EXCEPTION_ILLEGAL_OPERATION",
    "SIMCONNECT_EXCEPTION_ALREADY_SUBSCRIBED ",
    "SIMCONNECT_EXCEPTION_INVALID_ENUM ",
    "SIMCONNECT_EXCEPTION_DEFINITION_ERROR",
    "SIMCONNECT_EXCEPTION_DUPLICATE_ID",
    "SIMCONNECT_EXCEPTION_DATUM_ID",
    "SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS",
    "SIMCONNECT_EXCEPTION_ALREADY_CREATED",
    "SIMCONNECT_EXCEPTION_OBJECT_OUTSIDE_REALITY_BUBBLE",
    "SIMCONNECT_EXCEPTION_OBJECT_CONTAINER",
    "SIMCONNECT_EXCEPTION_OBJECT_AI",
    "SIMCONNECT_EXCEPTION_OBJECT_ATC",
    "SIMCONNECT_EXCEPTION_OBJECT_SCHEDULE",
    "SIMCONNECT_EXCEPTION_BLOCK_TIMEOUT",
};
static_assert(std::size(kExceptionNames) == 39);

// The received message as its layout, or null when it is shorter than that.
template <typename Layout>
const Layout* As(const SIMCONNECT_RECV* message, DWORD size) {
  return size >= sizeof(Layout) ? static_cast<const Layout*>(message) : nullptr;
}

void OnException(const SIMCONNECT_RECV_EXCEPTION& exception) {
  if (exception.dwException == SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID) return;
  const std::string name = exception.dwException < std::size(kExceptionNames)
                               ? kExceptionNames[exception.dwException]
                               : "SIMCONNECT_EXCEPTION_UNKNOWN_" + std::to_string(exception.dwException);
  ReportMessage(name, "NimbraBridge|SimConnectException", true);
  variableRegistry.RemoveBySendId(exception.dwSendID);
}

void OnEvent(const SIMCONNECT_RECV_EVENT& event) {
  switch (event.uEventID) {
    case kEventSim:
      simRunning = event.dwData != 0;
      break;
    case kEvent6Hz:
      if (!simRunning) break;
      for (const auto& device : devices) {
        if (device) device->RefreshLeds();
      }
      break;
    case kEvent1Sec:
      // A profile edited in the simulator's menus is picked up too.
      for (const auto& device : devices) {
        if (device) device->AutoReloadCheck();
      }
      if (!simRunning) break;
      for (const auto& device : devices) {
        if (device) device->ArbitrationCheck();
      }
      break;
    case kEventReloadBindings:
      if (!simRunning) break;
      if (const auto* device = SupportedDevice()) (*device)->ReloadJson(true);
      break;
    case kEventShowHideBindings:
      ToggleShowBindings();
      break;
    default:
      break;
  }
}

// A new aircraft: its profile folder, then every device reloads.
void OnAircraftFile(const std::string& path) {
  SetAircraftProfileDir(path);
  for (const auto& device : devices) {
    if (device) device->ReloadJson(true);
  }
}

}  // namespace

void DispatchCallback(SIMCONNECT_RECV* pData, DWORD cbData, void*) {
  if (pData == nullptr || cbData < sizeof(SIMCONNECT_RECV)) return;
  switch (pData->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION:
      if (const auto* exception = As<SIMCONNECT_RECV_EXCEPTION>(pData, cbData)) OnException(*exception);
      break;
    case SIMCONNECT_RECV_ID_EVENT:
      if (const auto* event = As<SIMCONNECT_RECV_EVENT>(pData, cbData)) OnEvent(*event);
      break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
      if (const auto* file = As<SIMCONNECT_RECV_EVENT_FILENAME>(pData, cbData);
          file != nullptr && file->uEventID == kEventAircraftLoaded) {
        OnAircraftFile(FieldText(file->szFileName));
      }
      break;
    case SIMCONNECT_RECV_ID_SYSTEM_STATE:
      // The answer to the start-up request: treated as an aircraft file. An
      // empty one says nothing (a simulator in its menus), so the profile
      // in use stays.
      if (const auto* state = As<SIMCONNECT_RECV_SYSTEM_STATE>(pData, cbData);
          state != nullptr && state->dwRequestID == kAircraftStateRequestId) {
        if (const std::string file = FieldText(state->szString); !file.empty()) OnAircraftFile(file);
      }
      break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
      if (cbData >= kSimObjectDataOffset) {
        const auto* data = static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(pData);
        variableRegistry.StoreValue(data->dwRequestID, reinterpret_cast<const std::uint8_t*>(pData) + kSimObjectDataOffset,
                                    cbData - kSimObjectDataOffset);
      }
      break;
    default:
      break;
  }
}
