// One run of `nimbra-profile watch` on an open simulator connection: which
// profile it watches (the file named, or the one the bridge would load for
// the current aircraft, switched when "AircraftLoaded" names another), what
// the simulator sent (values, rejections, whether the simulation runs, its
// end), and the screen that shows it all. Blinking entries are shown in the
// half of their period that the "6Hz" refreshes since the profile was loaded
// give, counted as the bridge counts them after its reload on the same
// aircraft; after a reload the watch does not see (the menu's, another
// program's) the halves may differ from the unit's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/supported_unit.h"
#include "profile_lookup.h"
#include "simlink/simconnect.h"
#include "watch_view.h"

namespace nimbra_profile {

// The client event identifiers the watch subscribes with.
inline constexpr DWORD kWatchEventSim = 1;
inline constexpr DWORD kWatchEventAircraftLoaded = 2;
inline constexpr DWORD kWatchEvent6Hz = 3;

struct WatchOptions {
  std::string file;          // empty: the profile the bridge would load
  std::optional<std::string> aircraft;  // the aircraft file to start from, as the simulator reports it
  std::string bridgeFolder;  // where the bridge lies, with its trailing separator
  LedLimits limits = kSupportedUnitLedLimits;
  std::string unitName;
};

class WatchSession {
 public:
  // Loads the first profile and registers its variables over the
  // connection held in `*link`, which outlives the session.
  WatchSession(WatchOptions options, const HANDLE* link);

  // Subscribes to the simulator's events this session follows; false when a
  // call fails.
  static bool Subscribe(HANDLE handle);
  // The dispatch procedure; `context` is the session.
  static void Dispatch(SIMCONNECT_RECV* data, DWORD size, void* context);

  const WatchView& view() const { return *view_; }
  const VariableRegistry& registry() const { return registry_; }
  bool ended() const { return ended_; }  // the simulator said it quits
  bool simulationRunning() const { return running_; }

  // The header (simulation, aircraft, keys, file) and the view's lines.
  std::vector<std::string> Screen(bool colour) const;

 private:
  void OnMessage(const SIMCONNECT_RECV& message, DWORD size);
  void Load();

  WatchOptions options_;
  VariableRegistry registry_;
  std::unique_ptr<WatchView> view_;
  std::optional<ProfileLookup> choice_;  // when watching the bridge's choice
  bool running_ = false;
  bool ended_ = false;
  std::uint32_t blinkPhase_ = 0;  // "6Hz" refreshes while running, since Load
};

}  // namespace nimbra_profile
