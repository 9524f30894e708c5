// The bridge's icon in the Windows notification area: a tooltip, and a menu
// whose choices are queued for the main loop to carry out, never run inside
// the window procedure, so that a choice made while a message box is open
// waits for the box instead of running in the middle of what opened it.
// Quit alone also asks for the stop at once (stop_request.h), the path a stop
// signal takes on Linux. The icon lives on a hidden window of its own class,
// which also takes the menu's command ids posted as WM_COMMAND (tests do so),
// and adds the icon again when Explorer restarts. Linux has no icon: Create
// gives null there.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// The menu's choices; the values are the command ids of its items.
enum class TrayCommand : unsigned {
  Reload = 40001,
  ShowBindings = 40002,
  WatchLeds = 40003,
  OpenProfileFolder = 40004,
  OpenLog = 40005,
  Quit = 40006,
};

inline constexpr wchar_t kTrayWindowClass[] = L"NimbraBridgeTrayWindow";

class TrayIcon {
 public:
  // The window and the icon. Null when no window can be made (and always on
  // Linux). Without a notification area the window is kept, so that the
  // icon appears when one starts; `note` then gets one line saying so.
  static std::unique_ptr<TrayIcon> Create(std::string* note);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // At most 127 characters are shown; the icon is touched only on a change.
  void SetTooltip(const std::string& text);
  // The check mark of "Show Bindings".
  void SetShowBindingsChecked(bool checked);
  // The choices made since the last call, oldest first.
  std::vector<TrayCommand> TakeCommands();

  struct Impl;

 private:
  explicit TrayIcon(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The main loop's pause: `milliseconds` long, handling this thread's window
// messages meanwhile (the icon's menu stays live), and cut short once a stop
// is requested. On Linux a plain sleep that a stop does not cut short.
void WaitHandlingMessages(unsigned milliseconds);

// Opens a folder or a file with the desktop's program for it. The path is
// UTF-8 when `utf8`, else in the system's code page (as profile paths are).
// False when it could not be started (and on Linux, which has no icon).
bool OpenWithDesktop(const std::string& path, bool utf8);

// Starts `program` with `arguments` (texts in the system's code page) in a
// console window of its own. False when it could not be started (and on
// Linux).
bool StartInNewConsole(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace platform
