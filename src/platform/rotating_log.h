// A log file that never grows past its cap: when the next line would take it
// over, the file becomes `<name>.1` (replacing an older one) and a new file is
// begun. A line that cannot be written is dropped and counted, and the next
// line that can be written is preceded by one note saying how many were lost,
// so a log folder that is missing, read-only or a file never stops or slows
// the program: each line costs one open, one write and one close.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class RotatingLog {
 public:
  static constexpr std::int64_t kDefaultCap = 1024 * 1024;

  // An empty path writes nothing and counts every line as dropped.
  explicit RotatingLog(std::string path, std::int64_t cap = kDefaultCap);

  // Writes the local time to the millisecond, a blank and `line`.
  void Write(const std::string& line);

  const std::string& Path() const { return path_; }
  // Lines lost since the last line that was written.
  std::uint64_t Dropped() const { return dropped_; }

 private:
  std::string path_;
  std::int64_t cap_;
  std::uint64_t dropped_ = 0;
};

}  // namespace platform
