// A piece of hardware the bridge drives. Everything the rest of the bridge
// does to a device goes through the seven virtual operations below, in this
// slot order; the base versions do nothing, so a device kind implements only
// what it has.
#pragma once

#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "devices/profile_watch.h"
#include "devices/supported_unit.h"
#include "platform/named_marker.h"
#include "profiles/package_index.h"
#include "simlink/simconnect.h"

// The client event identifiers of a device's two menu sub-items, counted
// from its type: "Reload Bindings", then "Show Bindings"/"Hide Bindings".
constexpr DWORD ReloadItemId(std::int32_t typeId) { return static_cast<DWORD>(typeId + 1); }
constexpr DWORD ShowHideItemId(std::int32_t typeId) { return static_cast<DWORD>(typeId + 2); }

// What the device's last reload read: the file and whether it was LOCAL.
struct ActiveProfile {
  std::string path;     // the file chosen, loaded or not; empty before the first reload
  bool local = false;   // LOCAL, else GLOBAL
  bool loaded = false;  // the file loaded (a broken one leaves the LEDs dark)
  unsigned reloads = 0;  // counts every reload, so that a change can be noticed cheaply
};

class Device {
 public:
  // A device whose pair is `supported` (the pair the settings name, else the
  // default one) gets kSupportedUnitTypeId; any other gets 0.
  Device(std::int32_t vendorId, std::int32_t productId, std::string name, UnitIds supported = kDefaultUnitIds);
  // Removes the device's two menu sub-items while the simulator connection
  // is open and gives back the read-side reload marker.
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // The number of LED bindings, for the reload message; the gate is not one.
  virtual std::uint32_t BindingCount() const;
  // Finds and opens the hardware; reports its own failures.
  virtual void Initialise();
  // Adds the bindings of a profile's root object.
  virtual void LoadBindings(const rapidjson::Value& profile);
  // Switches every LED off.
  virtual void AllLedsOff();
  // Brings the LEDs in line with the latest variable values.
  virtual void RefreshLeds();
  // Drops the LED bindings (not the gate).
  virtual void ClearBindings();

  // Replaces the bindings with those of the LOCAL profile (when `tryLocal`
  // and it opens) or the GLOBAL one, and announces the result. Every failure
  // is reported; none escapes.
  void ReloadJson(bool tryLocal);
  // The once-a-second look for another process's reload request: reloads the
  // GLOBAL profile once each time the write-side marker appears and holds the
  // read-side marker as the answer while it stays.
  void ArbitrationCheck();
  // The once-a-second look at the active profile's file: when an edit has
  // settled, reloads as the menu's "Reload Bindings" does (LOCAL first).
  void AutoReloadCheck();

  const std::int32_t vendorId;     // only the low 16 bits are used
  const std::int32_t productId;    // only the low 16 bits are used
  bool showBindings = false;       // announce every LED change as a text line
  std::string languageKey;         // profile member that holds an entry's description
  const std::string name;          // profile stem, marker names, menu texts, captions
  std::string saveName;            // the profile's own name, for the reload message
  std::string packagesPath;        // the simulator's package folder from the settings; empty: ask the simulators
  PackageIndex packageIndex;       // which packages hold which aircraft, kept from one reload to the next
  std::string refusedRootsSaid;    // the package roots last said to be out of the file calls' reach
  const std::int32_t typeId;       // base of the menu identifiers; 0 for an unknown unit
  bool autoReload = true;          // reload when the profile file changes ([Bridge] AutoReload)
  ActiveProfile activeProfile;
  ProfileWatch profileWatch;       // the files whose change reloads the device
  platform::MarkerHandle readMutex = platform::kNoMarker;  // reload acknowledged while held
  const std::string writeMutexName;
  const std::string readMutexName;
};
