// Definitions of the process-wide state, in their construction order.
#include "app/process_state.h"

#include "app/bridge_app.h"
#include "devices/device.h"
#include "variables/variable_registry.h"

HANDLE simHandle = nullptr;
bool simRunning = false;
std::vector<DeviceDescriptor> deviceDescriptors;
std::vector<std::unique_ptr<Device>> devices;
VariableRegistry variableRegistry;
std::string aircraftProfileDir;
std::unique_ptr<BridgeApp> bridgeApp;
