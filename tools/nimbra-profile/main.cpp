// nimbra-profile: checks profiles before they reach the simulator. It reads
// each file with the bridge's own loading code and says what the bridge would
// do with every LED entry and condition, which variables it would register,
// the gate, the positions bound twice, and the unit's grid; and it holds the
// "A:" variables against the catalogue of the simulator's names built into it.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/supported_unit.h"
#include "platform/module_path.h"
#include "catalogue_data.h"
#include "catalogue_findings.h"
#include "check_reports.h"
#include "which_report.h"
#include "watch.h"

namespace nimbra_profile {
namespace {

constexpr const char* kUsage =
    "usage: nimbra-profile check [--json] FILE...\n"
    "       nimbra-profile which [--bridge-dir FOLDER] [AIRCRAFT]\n"
    "       nimbra-profile watch [--plain] [--aircraft PATH] [--bridge-dir FOLDER] [FILE]\n"
    "       nimbra-profile notice   (where the variable catalogue comes from, and its licence)\n"
    "Reads each profile as the bridge reads it and reports the load error (with line and column),\n"
    "every LED entry (accepted or passed over, and why) with its conditions, the variables the\n"
    "bridge would register, the gate, positions bound twice, and the unit's grid. Each \"A:\" variable\n"
    "is held against the catalogue of the simulator's variable and unit names (2020 documentation):\n"
    "an unknown name or unit, a unit of another dimension or an index on a name without one is a\n"
    "warning with suggestions, never an error.\n"
    "--json prints one JSON object per file, one per line.\n"
    "Exit status: 0 clean, 1 warnings (something is passed over or will not work),\n"
    "2 errors (a file does not load, or a usage error).\n"
    "which: for the aircraft file as the simulator reports it (none: before any aircraft), the\n"
    "keys it is known by, every place the bridge looks for its LOCAL profile (found or absent)\n"
    "and the profile it would load, LOCAL or GLOBAL. The bridge lies in FOLDER (default: the\n"
    "folder of this program).\n"
    "watch: connects to the simulator beside the bridge and shows live, for FILE or (without it)\n"
    "the profile the bridge would load for the current aircraft, every LED entry with its\n"
    "conditions, each variable's value now, whether each condition holds, the LED lit or dark,\n"
    "the gate and the variables the simulator rejected. It redraws in place on a terminal;\n"
    "--plain (or no terminal) prints one block per change. --aircraft starts from that aircraft\n"
    "file before the simulator reports one. Ends with 0 at Ctrl+C or the simulator's end, 1 when\n"
    "it cannot connect, 2 when the profile does not load.\n";

int Which(int argc, char** argv) {
  std::string bridgeFolder = platform::ExecutableDirectory();
  std::vector<std::string> rest;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--bridge-dir" && i + 1 < argc) {
      bridgeFolder = BridgeFolder(argv[++i]);
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.size() > 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string report = WhichReport(rest.empty() ? nullptr : &rest[0], bridgeFolder, kSupportedUnitName);
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  return 0;
}

int RunWatch(int argc, char** argv) {
  WatchCommand command;
  command.options.bridgeFolder = platform::ExecutableDirectory();
  command.options.unitName = kSupportedUnitName;
  command.options.limits = kSupportedUnitLedLimits;
  if (ParseWatch(argc, argv, command) != 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return Watch(command);
}

}  // namespace

// The commands: check, which, watch and notice.
int Main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "which") return Which(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "watch") return RunWatch(argc, argv);
  std::vector<std::string> files;
  bool json = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!check && arg == "notice") {
      std::fputs(kCatalogueNotice, stdout);
      return 0;
    }
    if (!check) {
      if (arg != "check") {
        std::fprintf(stderr, "nimbra-profile: unknown command '%s'\n%s", arg.c_str(), kUsage);
        return 2;
      }
      check = true;
    } else if (arg == "--json") {
      json = true;
    } else {
      files.push_back(arg);
    }
  }
  if (!check || files.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  int status = 0;
  for (const std::string& file : files) {
    ProfileCheck result = CheckProfile(file, kSupportedUnitLedLimits);
    AddCatalogueFindings(result, Catalogue::BuiltIn());
    const std::string report = json ? JsonReport(result, kSupportedUnitLedLimits) + "\n"
                                    : TextReport(result, kSupportedUnitLedLimits);
    std::fwrite(report.data(), 1, report.size(), stdout);
    status = std::max(status, result.Status());
  }
  std::fflush(stdout);
  return status;
}

}  // namespace nimbra_profile

int main(int argc, char** argv) { return nimbra_profile::Main(argc, argv); }
