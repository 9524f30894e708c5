// simhost's command line, read once for the simhost command and for the
// end-to-end runner's SIMHOST: lines, so that a case starts simhost exactly
// as a user would.
#pragma once

#include <string>
#include <vector>

#include "sim_host.h"

namespace simhost {

extern const char* const kArgumentsUsage;

struct Arguments {
  Options options;
  std::string script;  // --script FILE
  bool help = false;   // --help
};

// Reads the arguments into `out`, whose fields keep what they held where no
// argument sets them; false with the reason in `error` for a bad one.
bool ParseArguments(const std::vector<std::string>& arguments, Arguments* out, std::string* error);

}  // namespace simhost
