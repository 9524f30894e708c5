// The aircraft is known only by where its file lies, so its profile folder is
// built from that path alone, byte for byte.
#include "app/aircraft_dir.h"

#include "app/process_state.h"
#include "profiles/local_profile.h"

void SetAircraftProfileDir(const std::string& aircraftFile) { aircraftProfileDir = AircraftProfileDirOf(aircraftFile); }
