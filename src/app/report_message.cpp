// Every message the bridge shows goes through here: a box for failures, or a
// red simulator text line (of a fixed 200-byte buffer) for news, which is
// dropped while no connection is open.
#include "app/report_message.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/process_state.h"
#include "platform/message_box.h"
#include "platform/rotating_log.h"

namespace {
constexpr std::size_t kTextLineBuffer = 200;
constexpr float kTextLineSeconds = 10.0f;

std::unique_ptr<platform::RotatingLog>& Log() {
  static std::unique_ptr<platform::RotatingLog> log;
  return log;
}
}  // namespace

void OpenBridgeLog(const std::string& path) { Log() = std::make_unique<platform::RotatingLog>(path); }

void LogLine(const std::string& line) {
  if (Log()) Log()->Write(line);
}

std::string BridgeLogPath() { return Log() ? Log()->Path() : std::string(); }

void ReportMessage(std::string text, std::string caption, bool modal) {
  if (text.empty()) return;
  LogLine((modal ? "box " : "line ") + caption + ": " + text);
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
