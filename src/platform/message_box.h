// Shows a system-modal message box (Windows) or writes "caption: text" to
// standard error (POSIX). Blocks until the user closes the box.
#pragma once

#include <string>

namespace platform {

void ShowMessageBox(const std::string& text, const std::string& caption);

}  // namespace platform
