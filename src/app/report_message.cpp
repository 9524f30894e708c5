// Every message the bridge shows goes through here: a box for failures, or a
// red simulator text line (of a fixed 200-byte buffer) for news, which is
// dropped while no connection is open.
#include "app/report_message.h"

#include <algorithm>
#include <cstring>

#include "app/process_state.h"
#include "platform/message_box.h"

namespace {
constexpr std::size_t kTextLineBuffer = 200;
constexpr float kTextLineSeconds = 10.0f;
}  // namespace

void ReportMessage(std::string text, std::string caption, bool modal) {
  if (text.empty()) return;
  if (modal) {
    platform::ShowMessageBox(text, caption);
    return;
  }
  if (simHandle == nullptr) return;
  const std::string line = caption + ": " + text;
  // The whole buffer is sent; a longer line keeps its first 199 characters.
  char buffer[kTextLineBuffer] = {};
  std::memcpy(buffer, line.data(), std::min(line.size(), kTextLineBuffer - 1));
  SimConnect_Text(simHandle, SIMCONNECT_TEXT_TYPE_PRINT_RED, kTextLineSeconds, kTextLineEventId,
                  static_cast<DWORD>(kTextLineBuffer), buffer);
}
