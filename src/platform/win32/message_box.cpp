// The system-modal message box, with the executable's icon 101.
#include <winsock2.h>
#include <windows.h>

#include "platform/message_box.h"

namespace platform {

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MSGBOXPARAMSA params{};
  params.cbSize = sizeof(params);
  params.hwndOwner = nullptr;
  params.hInstance = GetModuleHandleW(nullptr);
  params.lpszText = text.c_str();
  params.lpszCaption = caption.c_str();
  params.dwStyle = 0x1080;  // MB_OK | MB_USERICON | MB_SYSTEMMODAL
  params.lpszIcon = MAKEINTRESOURCEA(101);
  params.dwContextHelpId = 0;
  params.lpfnMsgBoxCallback = nullptr;
  params.dwLanguageId = 0x400;  // the user's default language
  static_assert((MB_OK | MB_USERICON | MB_SYSTEMMODAL) == 0x1080);
  MessageBoxIndirectA(&params);  // result ignored
}

}  // namespace platform
