// Where the running executable lies.
#pragma once

#include <string>

namespace platform {

// The executable's folder with a trailing separator; empty when it cannot be found.
std::string ModuleDirectory();

}  // namespace platform
