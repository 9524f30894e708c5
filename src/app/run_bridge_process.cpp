#include "app/run_bridge_process.h"

#include <memory>

#include "app/bridge_app.h"
#include "app/process_state.h"

int RunBridgeProcess() {
  auto app = std::make_unique<BridgeApp>();
  bridgeApp = std::move(app);
  return 0;
}
