// The pilot's machine settings: `Nimbra_Bridge.ini` beside the executable,
// read once at start-up with the same INI rules as the link's configuration
// file and handed down as values. It names the unit's USB pair when the
// pilot's unit is not the one the bridge knows, and the simulator's package
// folder where the bridge cannot find it by itself:
//
//   [Unit]
//   VendorId=16C0
//   ProductId=05DF
//   [Simulator]
//   PackagesPath=D:\MSFS
//   [Bridge]
//   TrayIcon=0      ; no notification-area icon (Windows)
//   AutoReload=0    ; no reload when the profile file changes
#pragma once

#include <cstdint>
#include <string>

#include "devices/supported_unit.h"

inline constexpr char kSettingsFileName[] = "Nimbra_Bridge.ini";
inline constexpr char kSettingsCaption[] = "NimbraBridge|Settings";

struct BridgeSettings {
  UnitIds unit = kDefaultUnitIds;  // the USB pair of the pilot's unit
  std::string packagesPath;        // [Simulator] PackagesPath as written; empty when unset
  bool trayIcon = true;            // [Bridge] TrayIcon: only "0" turns it off
  bool autoReload = true;          // [Bridge] AutoReload: only "0" turns it off
  // What was wrong in the file, for one box captioned kSettingsCaption; empty
  // when nothing was. A wrong [Unit] leaves the default pair in place.
  std::string problem;
};

// The settings file beside the executable.
std::string SettingsFilePath();

// Reads `file`. No file, no [Unit] section or neither of its keys: the default
// pair without a problem. One key missing or a value that is not a hexadecimal
// number from 0001 to FFFF (with or without 0x): the default pair and a problem
// that names the file, the key and the value as written.
BridgeSettings ReadSettings(const std::string& file);

// The settings as one line for the log.
std::string DescribeSettings(const std::string& file, const BridgeSettings& settings);

// A USB identifier as USB tools print it and the settings file takes it:
// hexadecimal, "16C0", "0x16C0" or "0X16C0", from 1 to FFFF. False for
// anything else, blanks and signs included.
bool ParseUsbId(const std::string& text, std::int32_t& id);
