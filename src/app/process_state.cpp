// Definitions of the process-wide state that the layers below the app use,
// in their construction order. The owning device list and the app itself
// are the bridge's own (bridge_state.cpp), so that a program that only
// reports messages or talks to the simulator pulls in no device code.
#include "app/process_state.h"

#include "variables/variable_registry.h"

HANDLE simHandle = nullptr;
bool simRunning = false;
std::vector<DeviceDescriptor> deviceDescriptors;
VariableRegistry variableRegistry;
std::string aircraftProfileDir;
