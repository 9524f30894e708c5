// The simulators' settings folders on Linux: Steam runs them under Proton, in
// a Wine prefix per game below Steam's data folder ($XDG_DATA_HOME, else
// $HOME/.local/share), with the Windows user "steamuser".
#include "platform/simulator_folders.h"

#include <cstdlib>

namespace platform {
namespace {

const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::vector<SimulatorFolder> SimulatorFolders(PathText /*text*/) {
  std::string data;
  if (const char* xdg = Variable("XDG_DATA_HOME")) {
    data = xdg;
  } else if (const char* home = Variable("HOME")) {
    data = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  const std::string compat = data + "/Steam/steamapps/compatdata/";
  const std::string roaming = "/pfx/drive_c/users/steamuser/AppData/Roaming/";
  return {
      {2024, "Steam (Proton)", compat + "2537590" + roaming + "Microsoft Flight Simulator 2024/"},
      {2020, "Steam (Proton)", compat + "1250410" + roaming + "Microsoft Flight Simulator/"},
  };
}

}  // namespace platform
