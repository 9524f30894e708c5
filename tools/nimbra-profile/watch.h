// `nimbra-profile watch [--plain] [--aircraft PATH] [--bridge-dir FOLDER] [FILE]`.
#pragma once

#include <string>

#include "watch_session.h"

namespace nimbra_profile {

struct WatchCommand {
  bool plain = false;
  WatchOptions options;  // the caller sets the unit and the default bridge folder
};

// Reads the arguments after "watch" into `command`; 2 on a usage error.
int ParseWatch(int argc, char** argv, WatchCommand& command);

// Runs the watch: 0 at Ctrl+C or the simulator's end, 1 when it cannot
// connect, 2 when the profile does not load.
int Watch(const WatchCommand& command);

}  // namespace nimbra_profile
