// Reading Steam's library list. The file is Steam's own and may be in any
// state; the reader takes what it can read and never guesses past a break.
#include "platform/steam_libraries.h"

#include <cstddef>

namespace platform {
namespace {

// Blocks deeper than any real list are not followed.
constexpr int kMaxDepth = 16;

class Tokens {
 public:
  explicit Tokens(const std::string& text) : text_(text) {}

  enum class Kind { String, Open, Close, End, Broken };

  // The next token; a string's text (escapes `\\` and `\"` undone) in `value`.
  Kind Next(std::string* value) {
    for (;;) {
      while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
      if (at_ + 1 < text_.size() && text_[at_] == '/' && text_[at_ + 1] == '/') {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
        continue;
      }
      break;
    }
    if (at_ >= text_.size()) return Kind::End;
    const char c = text_[at_++];
    if (c == '{') return Kind::Open;
    if (c == '}') return Kind::Close;
    if (c != '"') return Kind::Broken;
    value->clear();
    while (at_ < text_.size()) {
      char d = text_[at_++];
      if (d == '"') return Kind::String;
      if (d == '\\' && at_ < text_.size() && (text_[at_] == '\\' || text_[at_] == '"')) d = text_[at_++];
      value->push_back(d);
    }
    return Kind::Broken;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  const std::string& text_;
  std::size_t at_ = 0;
};

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SteamLibraryPaths(const std::string& vdf) {
  std::vector<std::string> paths;
  if (vdf.size() > kMaxLibraryFoldersBytes) return paths;
  Tokens tokens(vdf);
  int depth = 0;
  std::string key;
  std::string value;
  for (;;) {
    Tokens::Kind kind = tokens.Next(&key);
    if (kind == Tokens::Kind::Close) {
      if (--depth < 0) return paths;
      continue;
    }
    if (kind != Tokens::Kind::String) return paths;
    kind = tokens.Next(&value);
    if (kind == Tokens::Kind::Open) {
      if (++depth > kMaxDepth) return paths;
      continue;
    }
    if (kind != Tokens::Kind::String) return paths;
    const bool current = key == "path" && depth >= 2;
    const bool older = depth == 1 && IsNumber(key);
    if ((current || older) && !value.empty()) paths.push_back(value);
  }
}

}  // namespace platform
