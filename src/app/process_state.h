// The process-wide state of the bridge. Each part is constructed before the
// entry point runs, in declaration order within its library, and destroyed
// in reverse order at exit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "simlink/simconnect.h"

class Device;
class VariableRegistry;
class BridgeApp;

// One supported device.
struct DeviceDescriptor {
  int lastByteMaxBit;   // highest BitIndex accepted in the last LED byte
  int lastByteIndex;    // highest ByteIndex accepted
  const char* name;     // menu texts, profile file stem, mutex names, captions
  int productId;        // USB product identifier
  int vendorId;         // USB vendor identifier
};

// The client event identifiers of the whole process: the four subscribed
// system events, the one every text line carries, and the top "Corvane" menu
// entry, under which every sub-item hangs.
inline constexpr DWORD kEventSim = 1;
inline constexpr DWORD kEvent6Hz = 2;
inline constexpr DWORD kEvent1Sec = 3;
inline constexpr DWORD kTextLineEventId = 4;
inline constexpr DWORD kEventAircraftLoaded = 5;
inline constexpr DWORD kMenuTopEventId = 6;
// The request identifier of the one system-state request at start-up; the
// dispatch takes an answer with it as an aircraft load.
inline constexpr DWORD kAircraftStateRequestId = 0;

extern HANDLE simHandle;  // the open simulator connection; null when none
extern std::vector<DeviceDescriptor> deviceDescriptors;
extern bool simRunning;
extern VariableRegistry variableRegistry;
extern std::string aircraftProfileDir;

// The bridge's own: defined in the bridge library, beside the devices.
extern std::vector<std::unique_ptr<Device>> devices;
extern std::unique_ptr<BridgeApp> bridgeApp;
