// Linux has no icon: the bridge is controlled by signals and nimbra-reload,
// and its loop pauses as it always did.
#include "platform/tray_icon.h"

#include "platform/sleep.h"

namespace platform {

struct TrayIcon::Impl {};

TrayIcon::TrayIcon(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TrayIcon::~TrayIcon() = default;

std::unique_ptr<TrayIcon> TrayIcon::Create(std::string*) { return nullptr; }
void TrayIcon::SetTooltip(const std::string&) {}
void TrayIcon::SetShowBindingsChecked(bool) {}
std::vector<TrayCommand> TrayIcon::TakeCommands() { return {}; }

void WaitHandlingMessages(unsigned milliseconds) { SleepMilliseconds(milliseconds); }

bool OpenWithDesktop(const std::string&, bool) { return false; }

bool StartInNewConsole(const std::string&, const std::vector<std::string>&) { return false; }

}  // namespace platform
