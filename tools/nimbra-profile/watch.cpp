// `nimbra-profile watch`: connects to the simulator as a client of its own,
// beside a running bridge, and shows live why each LED is lit or dark. On a
// terminal it redraws the screen in place; otherwise (or with --plain) it
// prints one block per change. Ctrl+C or the simulator's end ends it with 0.
// It never opens the unit.
#include "watch.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sleep.h"
#include "platform/stop_request.h"
#include "platform/terminal.h"
#include "check_reports.h"
#include "watch_session.h"

namespace nimbra_profile {
namespace {

constexpr unsigned kDispatchPauseMs = 100;
constexpr const char* kClientName = "Nimbra_Profile_Watch";

void Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void Show(const std::vector<std::string>& lines, bool redraw) {
  std::string text = redraw ? "\x1b[H" : "";
  for (const std::string& line : lines) text += line + (redraw ? "\x1b[K\n" : "\n");
  text += redraw ? "\x1b[J" : "\n";
  Write(text);
}

}  // namespace

int Watch(const WatchCommand& command) {
  // A named file that does not load ends the watch before it connects.
  if (!command.options.file.empty()) {
    const ProfileCheck check =
        CheckProfile(command.options.file, command.options.limits);
    if (check.failure) {
      const std::string report =
          TextReport(check, command.options.limits);
      std::fwrite(report.data(), 1, report.size(), stderr);
      return 2;
    }
  }
  platform::WatchStopRequests();
  HANDLE link = nullptr;  // the watch's own connection
  if (SimConnect_Open(&link, kClientName, nullptr, 0, nullptr, 0) < 0 || !WatchSession::Subscribe(link)) {
    std::fputs(
        "nimbra-profile watch: cannot connect to the simulator (is it running? the connection follows\n"
        "SimConnect.cfg as the bridge's does, else the simulator's default pipe)\n",
        stderr);
    if (link != nullptr) SimConnect_Close(link);
    return 1;
  }
  {
    // Without FILE a profile that does not load (no aircraft yet, no GLOBAL
    // file) is shown as such until the aircraft brings one that does.
    WatchSession session(command.options, &link);
    const bool redraw = !command.plain && platform::OutputIsTerminal();
    const bool colour = redraw && platform::OutputTakesColour();
    if (redraw) Write("\x1b[2J");
    std::vector<std::string> shown;
    while (!platform::StopRequested() && !session.ended()) {
      if (SimConnect_CallDispatch(link, WatchSession::Dispatch, &session) < 0) break;  // the link ended
      std::vector<std::string> screen = session.Screen(colour);
      if (screen != shown) {
        Show(screen, redraw);
        shown = std::move(screen);
      }
      platform::SleepMilliseconds(kDispatchPauseMs);
    }
  }  // the session gives its variables back while the link is open
  SimConnect_Close(link);
  return 0;
}

int ParseWatch(int argc, char** argv, WatchCommand& command) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plain") {
      command.plain = true;
    } else if (arg == "--aircraft" && i + 1 < argc) {
      command.options.aircraft = argv[++i];
    } else if (arg == "--bridge-dir" && i + 1 < argc) {
      command.options.bridgeFolder = BridgeFolder(argv[++i]);
    } else if (arg.rfind("--", 0) != 0 && command.options.file.empty()) {
      command.options.file = arg;
    } else {
      return 2;
    }
  }
  return 0;
}

}  // namespace nimbra_profile
