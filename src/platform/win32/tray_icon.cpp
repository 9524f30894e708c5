// The notification-area icon. Its window is a hidden top-level one, because
// only top-level windows hear Explorer's "TaskbarCreated" broadcast after a
// restart; where no such window can be made it falls back to a message-only
// window, which still takes posted commands. The window procedure only
// queues what the menu chose (Quit also asks for the stop), so nothing of the
// bridge runs inside a message handler.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/stop_request.h"
#include "platform/tray_icon.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT kIconId = 1;
constexpr int kIconResource = 101;
constexpr std::size_t kTooltipLength = 127;

struct MenuItem {
  TrayCommand command;
  const wchar_t* text;
};
constexpr MenuItem kMenu[] = {
    {TrayCommand::Reload, L"Reload Bindings"},         {TrayCommand::ShowBindings, L"Show Bindings"},
    {TrayCommand::WatchLeds, L"Watch LEDs\x2026"},     {TrayCommand::OpenProfileFolder, L"Open profile folder"},
    {TrayCommand::OpenLog, L"Open log"},               {TrayCommand::Quit, L"Quit"},
};

bool KnownCommand(unsigned id) {
  return std::any_of(std::begin(kMenu), std::end(kMenu),
                     [id](const MenuItem& item) { return static_cast<unsigned>(item.command) == id; });
}

}  // namespace

struct TrayIcon::Impl {
  HWND window = nullptr;
  UINT taskbarCreated = 0;
  bool iconShown = false;
  bool showBindingsChecked = false;
  std::wstring tooltip = L"Nimbra Bridge";
  std::vector<TrayCommand> queued;

  NOTIFYICONDATAW IconData(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kIconMessage;
    data.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_DEFAULTCOLOR | LR_SHARED));
    std::copy_n(tooltip.c_str(), std::min(tooltip.size(), kTooltipLength) + 1, data.szTip);
    data.szTip[kTooltipLength] = L'\0';
    return data;
  }

  bool AddIcon() {
    NOTIFYICONDATAW data = IconData(NIF_ICON | NIF_TIP | NIF_MESSAGE);
    iconShown = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return iconShown;
  }

  void ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (const MenuItem& item : kMenu) {
      if (item.command == TrayCommand::Quit) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      UINT flags = MF_STRING;
      if (item.command == TrayCommand::ShowBindings && showBindingsChecked) flags |= MF_CHECKED;
      AppendMenuW(menu, flags, static_cast<UINT_PTR>(item.command), item.text);
    }
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the pilot clicks elsewhere only if the window is
    // in front while it is open, and the posted message lets it go.
    SetForegroundWindow(window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
      if (message == kIconMessage) {
        const UINT event = LOWORD(lParam);
        if (event == WM_RBUTTONUP || event == WM_CONTEXTMENU) self->ShowMenu();
        return 0;
      }
      if (message == WM_COMMAND) {
        const unsigned id = LOWORD(wParam);
        if (!KnownCommand(id)) return 0;  // anything else is ignored
        if (id == static_cast<unsigned>(TrayCommand::Quit)) RequestStop();
        self->queued.push_back(static_cast<TrayCommand>(id));
        return 0;
      }
      if (self->taskbarCreated != 0 && message == self->taskbarCreated) {
        self->AddIcon();
        return 0;
      }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

TrayIcon::TrayIcon(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TrayIcon::~TrayIcon() {
  if (impl_->iconShown) {
    NOTIFYICONDATAW data = impl_->IconData(0);
    Shell_NotifyIconW(NIM_DELETE, &data);
  }
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
}

std::unique_ptr<TrayIcon> TrayIcon::Create(std::string* note) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &Impl::Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kTrayWindowClass;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    if (note != nullptr) *note = "no icon: its window class was refused (" + win32::ErrorText(GetLastError()) + ")";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->window = CreateWindowExW(WS_EX_TOOLWINDOW, kTrayWindowClass, L"Nimbra Bridge", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
  if (impl->window == nullptr) {
    impl->window = CreateWindowExW(0, kTrayWindowClass, L"Nimbra Bridge", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);
  }
  if (impl->window == nullptr) {
    if (note != nullptr) *note = "no icon: its window could not be made (" + win32::ErrorText(GetLastError()) + ")";
    return nullptr;
  }
  SetWindowLongPtrW(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl.get()));
  impl->taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  if (!impl->AddIcon() && note != nullptr) {
    *note = "no notification area: running without the icon until one appears";
  }
  return std::unique_ptr<TrayIcon>(new TrayIcon(std::move(impl)));
}

void TrayIcon::SetTooltip(const std::string& text) {
  std::wstring wide = win32::Widen(text);
  if (wide.size() > kTooltipLength) wide.resize(kTooltipLength);
  if (wide == impl_->tooltip) return;
  impl_->tooltip = wide;
  if (!impl_->iconShown) return;
  NOTIFYICONDATAW data = impl_->IconData(NIF_TIP);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::SetShowBindingsChecked(bool checked) { impl_->showBindingsChecked = checked; }

std::vector<TrayCommand> TrayIcon::TakeCommands() {
  std::vector<TrayCommand> taken;
  taken.swap(impl_->queued);
  return taken;
}

void WaitHandlingMessages(unsigned milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (StopRequested()) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

bool OpenWithDesktop(const std::string& path, bool utf8) {
  const HINSTANCE result = utf8 ? ShellExecuteW(nullptr, L"open", win32::Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL)
                                : ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool StartInNewConsole(const std::string& program, const std::vector<std::string>& arguments) {
  // Each word quoted; the texts the bridge passes hold no quote of their own.
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace platform
