// Reading the package root out of a simulator's `UserCfg.opt`. The file is
// the simulator's own and may be in any state, so every shape it can take
// ends in "no root" rather than in a guess.
#include "platform/simulator_folders.h"

#include <cstdint>

#include "platform/file_access.h"

namespace platform {
namespace {

// Far more than any real `UserCfg.opt`; a larger file is not one.
constexpr std::size_t kMaxUserCfgBytes = 1 << 20;

void AppendUtf8(std::uint32_t code, std::string* text) {
  if (code < 0x80) {
    text->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    text->push_back(static_cast<char>(0xC0 | (code >> 6)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    text->push_back(static_cast<char>(0xE0 | (code >> 12)));
    text->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    text->push_back(static_cast<char>(0xF0 | (code >> 18)));
    text->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// UTF-16 (either byte order, after its mark) to UTF-8; false at a surrogate
// without its partner, since the path would then be guessed.
bool Utf16ToUtf8(const std::string& bytes, bool bigEndian, std::string* text) {
  text->clear();
  const auto unit = [&](std::size_t at) {
    const unsigned high = static_cast<unsigned char>(bytes[bigEndian ? at : at + 1]);
    const unsigned low = static_cast<unsigned char>(bytes[bigEndian ? at + 1 : at]);
    return static_cast<std::uint32_t>(high << 8 | low);
  };
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    std::uint32_t code = unit(at);
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (at + 3 >= bytes.size()) return false;
      const std::uint32_t next = unit(at + 2);
      if (next < 0xDC00 || next > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
      at += 2;
    }
    AppendUtf8(code, text);
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* word) {
  for (; *word != '\0'; ++word, ++at) {
    if (at >= text.size()) return false;
    char c = text[at];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char w = *word;
    if (w >= 'A' && w <= 'Z') w = static_cast<char>(w - 'A' + 'a');
    if (c != w) return false;
  }
  return true;
}

}  // namespace

bool ReadInstalledPackagesPath(const std::string& file, std::string* root) {
  std::string bytes;
  if (!ReadSmallFile(file, kMaxUserCfgBytes, &bytes)) return false;
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    if (!Utf16ToUtf8(bytes, false, &text)) return false;
  } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF) {
    if (!Utf16ToUtf8(bytes, true, &text)) return false;
  } else {
    text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
  }
  static constexpr char kKey[] = "InstalledPackagesPath";
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::size_t at = lineStart;
    while (at < lineEnd && IsBlank(text[at])) ++at;
    const std::size_t afterKey = at + sizeof(kKey) - 1;
    if (StartsWithNoCase(text, at, kKey) && afterKey < lineEnd && IsBlank(text[afterKey])) {
      std::size_t begin = afterKey;
      std::size_t end = lineEnd;
      while (begin < end && IsBlank(text[begin])) ++begin;
      while (end > begin && IsBlank(text[end - 1])) --end;
      if (end - begin >= 2 && text[begin] == '"' && text[end - 1] == '"') {
        ++begin;
        --end;
      }
      if (begin == end || text.find('\0', begin) < end) return false;
      *root = text.substr(begin, end - begin);
      return true;
    }
    lineStart = lineEnd + 1;
  }
  return false;
}

}  // namespace platform
