// POSIX port of the message box: one line "caption: text" on standard error,
// flushed at once. Nothing waits for a user, so the call returns at once.
#include "platform/message_box.h"

#include <cstdio>
#include <string>

namespace platform {

void ShowMessageBox(const std::string& text, const std::string& caption) {
  // One write of the whole line, so that lines of several threads never mix.
  std::string line;
  line.reserve(caption.size() + text.size() + 3);
  line.append(caption).append(": ").append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace platform
