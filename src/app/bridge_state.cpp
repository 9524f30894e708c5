// Definitions of the process-wide state that only the bridge itself holds:
// the owning list of devices and the app. Both are empty by the time the
// process ends (the app's life ends with its shutdown, which destroys every
// device), so their destruction at exit touches nothing else.
#include "app/bridge_app.h"
#include "app/process_state.h"
#include "devices/device.h"

std::vector<std::unique_ptr<Device>> devices;
std::unique_ptr<BridgeApp> bridgeApp;
