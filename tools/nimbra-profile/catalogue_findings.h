// The checker's advice from the variable catalogue on the "A:" variables a
// profile registers: names the catalogue does not know (with the closest it
// does), units it does not know, units of another dimension than the
// documented one, and an index on a name that takes none. Only warnings:
// the catalogue is older than the simulator the pilot flies.
#pragma once

#include "catalogue.h"
#include "profile_check.h"

namespace nimbra_profile {

// Finding codes, for scripts reading the JSON report.
inline constexpr const char* kUnknownVariable = "unknown-variable";
inline constexpr const char* kUnknownUnit = "unknown-unit";
inline constexpr const char* kUnitDimension = "unit-dimension";
inline constexpr const char* kIndexNotTaken = "index-not-taken";

// Adds the catalogue's findings to every registrable "A:" variable of `check`.
void AddCatalogueFindings(ProfileCheck& check, const Catalogue& catalogue);

}  // namespace nimbra_profile
