// nimbra-reload: asks a running bridge to read a device's GLOBAL profile
// again, as a profile editor or a script does after saving it. It creates the
// device's write-side marker, waits for the bridge's read-side marker, and
// lets go; the bridge reloads once per appearance of the write side.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devices/supported_unit.h"
#include "platform/named_marker.h"
#include "platform/sleep.h"

namespace {

constexpr const char* kUsage =
    "usage: nimbra-reload [--timeout SECONDS] [DEVICE]\n"
    "Asks the running bridge to reload DEVICE's GLOBAL profile (the one beside the bridge's\n"
    "executable). DEVICE is Velk_Throttle unless named; it holds no '/' or '\\'. The bridge\n"
    "answers within about a second while the simulation runs.\n"
    "Exit status: 0 the bridge acknowledged, 1 no bridge answered within the timeout (default 5 s),\n"
    "2 a usage error or the request could not be made.\n";

using Clock = std::chrono::steady_clock;

bool Exists(const std::string& name) {
  const platform::MarkerHandle marker = platform::OpenMarkerIfExists(name);
  platform::CloseMarker(marker);
  return marker != platform::kNoMarker;
}

// Polls until the marker's existence is `wanted` or the time is up.
bool WaitFor(const std::string& name, bool wanted, Clock::time_point end) {
  for (;;) {
    if (Exists(name) == wanted) return true;
    if (Clock::now() >= end) return false;
    platform::SleepMilliseconds(50);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string device = kSupportedUnitName;
  double timeout = 5.0;
  bool named = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--timeout" && i + 1 < argc) {
      char* end = nullptr;
      timeout = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(timeout > 0 && timeout <= 3600)) {
        std::fprintf(stderr, "nimbra-reload: --timeout needs seconds from above 0 to 3600\n%s", kUsage);
        return 2;
      }
    } else if (!arg.empty() && arg[0] != '-' && !named && arg.find_first_of("/\\") == std::string::npos) {
      device = arg;
      named = true;
    } else {
      std::fprintf(stderr, "nimbra-reload: unexpected argument %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }

  const std::string writeName = "Global\\" + device + "_Write";
  const std::string readName = "Global\\" + device + "_Read";
  const auto end = Clock::now() + std::chrono::milliseconds(static_cast<long long>(timeout * 1000));

  // An answer to an earlier request may still stand: wait until the bridge
  // has let it go, so that the answer below is to this request.
  if (!WaitFor(readName, false, end)) {
    std::printf("nimbra-reload: no answer: the bridge still holds the answer to an earlier request for %s\n",
                device.c_str());
    return 1;
  }
  const platform::MarkerHandle request = platform::CreateOrOpenMarker(writeName);
  if (request == platform::kNoMarker) {
    std::printf("nimbra-reload: the request marker %s could not be created\n", writeName.c_str());
    return 2;
  }
  const bool answered = WaitFor(readName, true, end);
  platform::CloseMarker(request);
  if (answered) {
    std::printf("nimbra-reload: the bridge acknowledged the reload of %s's GLOBAL profile\n", device.c_str());
    return 0;
  }
  std::printf("nimbra-reload: no bridge answered for %s within %g s\n", device.c_str(), timeout);
  return 1;
}
