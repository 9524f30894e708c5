// What `nimbra-profile which` prints: the bridge's own LOCAL profile lookup
// for one reported aircraft, laid out for people.
#pragma once

#include <string>

namespace nimbra_profile {

// What `which` prints for `aircraft` (null: no aircraft reported yet), the
// bridge lying in `bridgeFolder` (with its trailing separator) and the unit
// `unitName`: keys, every LOCAL candidate found or absent, and the choice.
std::string WhichReport(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName);

}  // namespace nimbra_profile
