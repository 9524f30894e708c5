// The bridge's life: start-up, the dispatch loop and shutdown.
#pragma once

class BridgeApp {
 public:
  // Runs the whole life of the process; returns when it is about to end.
  BridgeApp();
  // Runs Shutdown once more, which by then finds nothing to do.
  ~BridgeApp();
  BridgeApp(const BridgeApp&) = delete;
  BridgeApp& operator=(const BridgeApp&) = delete;
};

// Opens each device of the device list and adds its menu sub-items. A
// refused menu is reported, and the device is served all the same.
void InitialiseDevices();

// Tears down menus, devices and the simulator connection. Safe to repeat.
void Shutdown();
