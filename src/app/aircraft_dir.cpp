// The aircraft is known only by where its file lies, so its profile folder is
// built from that path alone, byte for byte.
#include "app/aircraft_dir.h"

#include "app/process_state.h"

void SetAircraftProfileDir(const std::string& aircraftFile) {
  const std::size_t separator = aircraftFile.rfind('\\');
  if (separator == std::string::npos) {
    aircraftProfileDir.clear();
    return;
  }
  aircraftProfileDir = aircraftFile.substr(0, separator + 1) + "corvane_profiles\\";
}
