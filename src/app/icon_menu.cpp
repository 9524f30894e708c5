// The icon's tooltip from the supported unit's state, and its commands.
#include "app/icon_menu.h"

#include <cstddef>

#include "app/menu.h"
#include "app/report_message.h"
#include "devices/hid_device.h"
#include "platform/module_path.h"

namespace {

constexpr char kProfileTool[] =
#ifdef _WIN32
    "nimbra-profile.exe";
#else
    "nimbra-profile";
#endif

// The folder of a path, separator included: the last '\' or '/' ends it.
std::string FolderOf(const std::string& path) {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

const char* CommandName(platform::TrayCommand command) {
  switch (command) {
    case platform::TrayCommand::Reload: return "Reload Bindings";
    case platform::TrayCommand::ShowBindings: return "Show Bindings";
    case platform::TrayCommand::WatchLeds: return "Watch LEDs";
    case platform::TrayCommand::OpenProfileFolder: return "Open profile folder";
    case platform::TrayCommand::OpenLog: return "Open log";
    case platform::TrayCommand::Quit: return "Quit";
  }
  return "unknown";
}

}  // namespace

IconStatus CurrentIconStatus() {
  IconStatus status;
  const auto* entry = SupportedDevice();
  if (entry == nullptr) return status;
  const Device& device = **entry;
  status.device = &device;
  status.reloads = device.activeProfile.reloads;
  status.loaded = device.activeProfile.loaded;
  const auto* unit = dynamic_cast<const HidDevice*>(&device);
  status.unitOpen = unit != nullptr && unit->hidHandle != nullptr;
  if (!status.unitOpen) return status;
  status.lit = unit->LitCount();
  status.bindings = unit->BindingCount();
  return status;
}

std::string IconTooltip(const IconStatus& status) {
  if (status.device == nullptr || !status.loaded) return "Nimbra Bridge: waiting for the simulator";
  const Device& device = *status.device;
  std::string text = "Nimbra Bridge: " + device.saveName + (device.activeProfile.local ? " (LOCAL)" : " (GLOBAL)");
  if (!status.unitOpen) return text + ", no unit found";
  return text + ", " + std::to_string(status.lit) + " of " + std::to_string(status.bindings) + " LEDs lit";
}

void RunIconCommand(platform::TrayCommand command) {
  LogLine(std::string("icon: ") + CommandName(command));
  const auto* entry = SupportedDevice();
  Device* device = entry != nullptr ? entry->get() : nullptr;
  const std::string profile = device != nullptr ? device->activeProfile.path : std::string();
  bool started = true;
  switch (command) {
    case platform::TrayCommand::Reload:
      if (device != nullptr) device->ReloadJson(true);
      break;
    case platform::TrayCommand::ShowBindings:
      ToggleShowBindings();
      break;
    case platform::TrayCommand::WatchLeds:
      started = platform::StartInNewConsole(platform::ModuleDirectory() + kProfileTool,
                                            profile.empty() ? std::vector<std::string>{"watch"}
                                                            : std::vector<std::string>{"watch", profile});
      break;
    case platform::TrayCommand::OpenProfileFolder:
      // Before any reload: the folder beside the executable, where the GLOBAL profile lies.
      started = platform::OpenWithDesktop(profile.empty() ? platform::ModuleDirectory() : FolderOf(profile), false);
      break;
    case platform::TrayCommand::OpenLog:
      started = !BridgeLogPath().empty() && platform::OpenWithDesktop(BridgeLogPath(), true);
      break;
    case platform::TrayCommand::Quit:
      break;
  }
  if (!started) LogLine(std::string("icon: ") + CommandName(command) + " could not be started");
}
