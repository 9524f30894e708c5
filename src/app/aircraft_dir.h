// Where the loaded aircraft keeps its own profiles: "corvane_profiles\" in
// the folder of the aircraft's file.
#pragma once

#include <string>

// Derives aircraftProfileDir from the aircraft's file path as the simulator
// reports it. Only '\' separates folders; a path without one gives an empty
// folder.
void SetAircraftProfileDir(const std::string& aircraftFile);
