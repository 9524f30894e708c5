// No simulator settings folders on POSIX: the simulator runs in a Wine or
// Proton prefix of its own, which only the pilot can name (PackagesPath in
// the settings file).
#include "platform/simulator_places.h"

namespace platform {

std::vector<SimulatorFolder> FindSimulatorFolders() { return {}; }

}  // namespace platform
