// The nimbra-autostart command: adds, removes or shows the simulator's
// autostart entry for the bridge in each installed simulator's exe.xml, or in
// one named file. Kept apart from main() so that tests run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace autostart {

enum ExitCode { kDone = 0, kNoSimulator = 1, kRefused = 2 };

// Runs one command line (the arguments after the program's name). Results go
// to `out`, refusals and usage errors to `err`. `programFolder` is where the
// default Nimbra_Bridge.exe is looked for, with a trailing separator.
int Run(const std::vector<std::string>& arguments, const std::string& programFolder, std::ostream& out,
        std::ostream& err);

}  // namespace autostart
