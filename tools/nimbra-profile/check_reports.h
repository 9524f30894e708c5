// The checker's two reports of one checked profile: text for people, JSON
// for editors and scripts. Both state the same facts.
#pragma once

#include <string>

#include "devices/supported_unit.h"
#include "profile_check.h"

namespace nimbra_profile {

// The checker's text report of one file.
std::string TextReport(const ProfileCheck& check, const LedLimits& limits);
// The same as one JSON object.
std::string JsonReport(const ProfileCheck& check, const LedLimits& limits);

}  // namespace nimbra_profile
