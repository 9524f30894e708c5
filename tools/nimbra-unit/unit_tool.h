// nimbra-unit's commands, apart from its entry point so that tests run them
// in-process against virtual_unit. The unit is found, opened and written to
// by the bridge's own rules (src/devices), for the pair the bridge's settings
// file names.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace nimbra_unit {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kNoUnit = 1;
inline constexpr int kUsageOrOpenError = 2;

struct Console {
  std::ostream& out;
  std::ostream& err;
  std::function<void(unsigned milliseconds)> pause;  // between the steps of `test`
};

// Runs one command line (without the program name); returns the exit status.
int Run(const std::vector<std::string>& args, const Console& console);

}  // namespace nimbra_unit
