// The rotation and the count of lost lines, written once above the two
// platforms' file operations.
#include "platform/rotating_log.h"

#include <utility>

#include "platform/log_output.h"

namespace platform {

RotatingLog::RotatingLog(std::string path, std::int64_t cap) : path_(std::move(path)), cap_(cap) {}

void RotatingLog::Write(const std::string& line) {
  const std::string stamp = LocalTimeStamp();
  std::string text;
  if (dropped_ != 0) text = stamp + " (" + std::to_string(dropped_) + " line(s) could not be written to the log)\n";
  text += stamp + " " + line + "\n";
  if (path_.empty()) {
    ++dropped_;
    return;
  }
  const std::int64_t size = SizeOfFile(path_);
  if (size > 0 && size + static_cast<std::int64_t>(text.size()) > cap_) MoveOverFile(path_, path_ + ".1");
  if (!AppendToFile(path_, text)) {
    ++dropped_;
    return;
  }
  dropped_ = 0;
}

}  // namespace platform
