// The portable body of the process entry point: creates the BridgeApp, whose
// constructor is the whole life of the process, keeps it in the process-wide
// owning pointer and returns the exit code (always 0).
#include "platform/program_entry.h"

#include <memory>

#include "app/bridge_app.h"
#include "app/process_state.h"

int RunBridgeProcess() {
  auto app = std::make_unique<BridgeApp>();
  bridgeApp = std::move(app);
  return 0;
}
