// Reading the words of a command line.
#include "words.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace simhost {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseU32(const std::string& text, std::uint32_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return false;
  *out = std::uint32_t(v);
  return true;
}

bool ParseDouble(const std::string& text, double* out) {
  if (text.empty()) return false;
  std::string t = Lower(text);
  if (t == "true" || t == "on") {
    *out = 1;
    return true;
  }
  if (t == "false" || t == "off") {
    *out = 0;
    return true;
  }
  char* end = nullptr;
  *out = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string RestOfLine(const std::string& line, int words) {
  std::size_t i = 0;
  for (int w = 0; w < words; ++w) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  }
  std::string rest = line.substr(i);
  auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  rest.erase(rest.begin(), std::find_if(rest.begin(), rest.end(), notSpace));
  rest.erase(std::find_if(rest.rbegin(), rest.rend(), notSpace).base(), rest.end());
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  return rest;
}


std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      std::size_t close = line.find('"', i + 1);
      if (close == std::string::npos) close = line.size();
      word = line.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

std::optional<Bytes> ParseHex(const std::string& text) {
  Bytes out;
  int pending = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',') continue;
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return std::nullopt;
    if (pending < 0) {
      pending = v;
    } else {
      out.push_back(std::uint8_t(pending << 4 | v));
      pending = -1;
    }
  }
  if (pending >= 0) return std::nullopt;
  return out;
}

}  // namespace simhost
