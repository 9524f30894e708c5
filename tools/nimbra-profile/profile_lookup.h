// The profile the bridge would load for one reported aircraft, with every
// LOCAL place it looks at: `which` prints it, `watch` watches the file it
// names. It asks the bridge's own choice, filled from the tool's arguments.
#pragma once

#include <string>
#include <vector>

#include "profiles/profile_files.h"

namespace nimbra_profile {

struct ProfileLookup : ProfileChoice {  // every LOCAL place checked, found or absent
  std::string fileName;                 // "<unit>_Config.json"
  std::vector<std::string> keys;        // the aircraft's keys, in lookup order
  std::vector<std::string> packageRoots;
  std::vector<std::string> refusedRoots;  // named by a simulator, but out of the file calls' reach
  bool exists = true;                   // false: the GLOBAL file is absent too
};

// For `aircraft` as the simulator reports it (null: none reported yet), the
// bridge lying in `bridgeFolder` (with its trailing separator) and the unit
// `unitName`.
ProfileLookup LookUpProfile(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName);

// A folder as given, with a trailing separator of its own kind.
std::string BridgeFolder(std::string folder);

}  // namespace nimbra_profile
