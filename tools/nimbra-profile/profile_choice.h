// The profile the bridge would load for one reported aircraft, with every
// LOCAL place it looks at: `which` prints it, `watch` watches the file it
// names. It runs the bridge's own lookup.
#pragma once

#include <string>
#include <vector>

#include "profiles/local_profile.h"

struct ProfileChoice {
  std::string fileName;                      // "<unit>_Config.json"
  std::vector<std::string> keys;             // the aircraft's keys, in lookup order
  std::vector<std::string> packageRoots;
  std::vector<ProfileCandidate> candidates;  // every LOCAL place, found or absent
  std::string path;                          // the file the bridge loads
  bool local = false;                        // LOCAL (else GLOBAL)
  bool exists = true;                        // false: the GLOBAL file is absent too
};

// For `aircraft` as the simulator reports it (null: none reported yet), the
// bridge lying in `bridgeFolder` (with its trailing separator) and the unit
// `unitName`. Sets the process's aircraft profile folder, as the bridge does
// on an aircraft load.
ProfileChoice ChooseProfile(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName);

// A folder as given, with a trailing separator of its own kind.
std::string BridgeFolder(std::string folder);
