// Where the running executable lies.
#pragma once

#include <string>

namespace platform {

// The executable's folder with a trailing separator; empty when it cannot be found.
std::string ModuleDirectory();

// The folder of the running program itself, whatever its name (for the
// tools, which lie beside the bridge); empty when it cannot be found.
std::string ExecutableDirectory();

}  // namespace platform
