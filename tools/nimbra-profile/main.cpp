// nimbra-profile: checks profiles before they reach the simulator. It reads
// each file with the bridge's own loading code and says what the bridge would
// do with every LED entry and condition, which variables it would register,
// the gate, the positions bound twice, and the unit's grid.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/supported_unit.h"
#include "report_text.h"

namespace {

constexpr const char* kUsage =
    "usage: nimbra-profile check [--json] FILE...\n"
    "Reads each profile as the bridge reads it and reports the load error (with line and column),\n"
    "every LED entry (accepted or passed over, and why) with its conditions, the variables the\n"
    "bridge would register, the gate, positions bound twice, and the unit's grid.\n"
    "--json prints one JSON object per file, one per line.\n"
    "Exit status: 0 clean, 1 warnings (something is passed over or will not work),\n"
    "2 errors (a file does not load, or a usage error).\n";

// The supported unit's LED limits, as the bridge's device list gives them.
constexpr auto kLastByteIndex = static_cast<std::uint32_t>(kSupportedUnitLastByteIndex);
constexpr auto kLastByteMaxBit = static_cast<std::uint32_t>(kSupportedUnitLastByteMaxBit);

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  bool json = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
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
    const ProfileCheck result = CheckProfile(file, kLastByteIndex, kLastByteMaxBit);
    const std::string report = json ? JsonReport(result, kLastByteIndex, kLastByteMaxBit) + "\n"
                                    : TextReport(result, kLastByteIndex, kLastByteMaxBit);
    std::fwrite(report.data(), 1, report.size(), stdout);
    status = std::max(status, result.Status());
  }
  std::fflush(stdout);
  return status;
}
