// A reader for the link's INI-format configuration file that follows the
// rules of the Windows profile functions, so that one file gives the same
// settings on both systems:
// - lines end at '\n' or '\r'; a UTF-8 byte-order mark at the start is skipped;
// - a line whose first non-blank character is '[' and that holds a ']' starts
//   a section named by the trimmed text up to the last ']';
// - any other non-blank line is "name=value" (split at the first '=', both
//   sides trimmed) or a name alone; a name starting with ';' is a comment;
// - names compare without regard to ASCII case; a zero byte ends a name or a
//   value;
// - only the first section of a name is used, and in it the first key;
// - a value wrapped in a pair of equal quotes (' or ") loses them, and the
//   copy is cut to the buffer the way those functions cut it.
// The file is read as a stream, one line at a time, and never held whole.
#include "platform/profile_ini.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/ascii_case.h"

namespace platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view TrimStart(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimEnd(TrimStart(text)); }

std::string_view CutAtZero(std::string_view text) {
  const std::size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

// Reads a file line by line in fixed-size chunks.
class LineReader {
 public:
  explicit LineReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb"), &std::fclose) {}

  bool IsOpen() const { return file_ != nullptr; }

  // The next line without its terminator; false at the end of the file.
  bool Next(std::string* line) {
    line->clear();
    bool any = false;
    for (;;) {
      if (pos_ == length_ && !Fill()) return any;
      const char* start = chunk_ + pos_;
      const char* end = chunk_ + length_;
      const char* stop = std::find_if(start, end, [](char c) { return c == '\n' || c == '\r'; });
      line->append(start, stop);
      any = true;
      pos_ = static_cast<std::size_t>(stop - chunk_);
      if (stop != end) {
        ++pos_;
        return true;
      }
    }
  }

 private:
  bool Fill() {
    if (!file_) return false;
    length_ = std::fread(chunk_, 1, sizeof(chunk_), file_.get());
    pos_ = 0;
    if (first_) {
      first_ = false;
      if (length_ >= 3 && std::memcmp(chunk_, "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
    }
    return length_ != 0;
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
  char chunk_[65536];
  std::size_t pos_ = 0;
  std::size_t length_ = 0;
  bool first_ = true;
};

struct KeyLine {
  std::string_view name;
  std::optional<std::string_view> value;  // absent for a name without '='
};

// Calls onKey for each key line of the first section named `section`, until it
// returns false. Comment and empty lines are passed over.
template <typename OnKey>
void ForEachKeyOfSection(const std::string& file, const std::string& section, OnKey onKey) {
  LineReader reader(file);
  if (!reader.IsOpen()) return;
  const std::string_view wanted = CutAtZero(section);
  bool inSection = wanted.empty();  // lines before the first header form the unnamed section
  std::string raw;
  while (reader.Next(&raw)) {
    std::string_view line = TrimStart(raw);
    if (line.empty()) continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        if (inSection) return;  // the first section of that name has ended
        inSection = EqualNoCase(CutAtZero(Trim(line.substr(1, close - 1))), wanted);
        continue;
      }
    }
    if (!inSection) continue;
    line = TrimEnd(line);
    KeyLine key;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      key.name = CutAtZero(line);
    } else {
      key.name = CutAtZero(TrimEnd(line.substr(0, equals)));
      key.value = CutAtZero(TrimStart(line.substr(equals + 1)));
    }
    if (!key.name.empty() && key.name.front() == ';') continue;  // comment
    if (key.name.empty() && !key.value) continue;              // nothing left of the line
    if (!onKey(key)) return;
  }
}

// Copies a value into the caller's buffer, taking off one pair of surrounding
// quotes. The cut matches the profile functions, including their quirk: the
// closing quote is dropped only when the text after the opening one fits in
// `size` characters, and then the last copied character goes instead.
std::uint32_t CopyValue(std::string_view value, char* buffer, std::uint32_t size) {
  bool quoted = false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value.remove_prefix(1);
    quoted = true;
  }
  std::size_t count = std::min<std::size_t>(value.size(), size - 1);
  if (count > 0) std::memcpy(buffer, value.data(), count);
  if (quoted && size >= value.size() && count > 0) --count;
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

}  // namespace

std::uint32_t ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                char* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  std::uint32_t copied = 0;
  const std::string_view wanted = CutAtZero(key);
  ForEachKeyOfSection(file, section, [&](const KeyLine& line) {
    if (!EqualNoCase(line.name, wanted)) return true;
    if (line.value) copied = CopyValue(*line.value, buffer, size);
    return false;
  });
  return copied;
}

std::uint32_t ReadProfileSection(const std::string& file, const std::string& section, char* buffer,
                                 std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  if (size < 2) return 0;
  buffer[1] = '\0';
  std::uint32_t used = 0;  // characters written, each entry with its zero
  bool truncated = false;
  ForEachKeyOfSection(file, section, [&](const KeyLine& line) {
    std::string entry(line.name);
    if (line.value) {
      entry += '=';
      entry += *line.value;
    }
    // Each entry needs its own zero, and the list one more after the last.
    if (used + entry.size() + 2 > size) {
      const std::size_t room = used + 2 <= size ? size - 2 - used : 0;
      if (room > 0) std::memcpy(buffer + used, entry.data(), std::min(room, entry.size()));
      truncated = true;
      return false;
    }
    std::memcpy(buffer + used, entry.data(), entry.size());
    used += static_cast<std::uint32_t>(entry.size());
    buffer[used++] = '\0';
    return true;
  });
  if (truncated) {
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
  }
  buffer[used] = '\0';
  return used;
}

}  // namespace platform
