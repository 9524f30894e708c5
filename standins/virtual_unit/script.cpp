// The text form of the set-up, for the preloaded library's environment and
// for scripts: "attach 1209:0001 unit/0 unit/1; fail open".
#include <cstdlib>
#include <sstream>

#include "virtual_unit.h"

namespace virtual_unit {

namespace {

bool ParseHex16(const std::string& text, std::uint16_t* value) {
  if (text.empty() || text.size() > 4) return false;
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
  if (*end != '\0') return false;
  *value = static_cast<std::uint16_t>(parsed);
  return true;
}

bool ParseCall(const std::string& word, Call* call) {
  static const struct {
    const char* word;
    Call call;
  } kCalls[] = {{"init", Call::Init}, {"enumerate", Call::Enumerate}, {"open", Call::Open},
                {"send", Call::Send}, {"exit", Call::Exit}};
  for (const auto& entry : kCalls) {
    if (word == entry.word) {
      *call = entry.call;
      return true;
    }
  }
  return false;
}

bool RunCommand(const std::string& command, std::string* error) {
  std::istringstream words(command);
  std::string verb;
  if (!(words >> verb)) return true;  // a blank command
  if (verb == "reset") {
    Reset();
    return true;
  }
  if (verb == "attach") {
    std::string ids;
    words >> ids;
    const std::size_t colon = ids.find(':');
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    if (colon == std::string::npos || !ParseHex16(ids.substr(0, colon), &vendor) ||
        !ParseHex16(ids.substr(colon + 1), &product)) {
      *error = "attach needs VVVV:PPPP in hexadecimal: " + command;
      return false;
    }
    std::vector<std::optional<std::string>> paths;
    for (std::string path; words >> path;) {
      paths.push_back(path == "-" ? std::nullopt : std::optional<std::string>(path));
    }
    if (paths.empty()) {
      *error = "attach needs at least one path (\"-\" for a record without one): " + command;
      return false;
    }
    Attach(vendor, product, paths);
    return true;
  }
  if (verb == "fail") {
    std::string which;
    Call call{};
    if (!(words >> which) || !ParseCall(which, &call)) {
      *error = "fail needs init, enumerate, open, send or exit: " + command;
      return false;
    }
    unsigned from = 1;
    std::string nth;
    if (words >> nth) {
      char* end = nullptr;
      const unsigned long parsed = std::strtoul(nth.c_str(), &end, 10);
      if (nth.empty() || *end != '\0' || parsed == 0 || parsed > 1000000000ul) {
        *error = "fail takes a call number from 1: " + command;
        return false;
      }
      from = static_cast<unsigned>(parsed);
    }
    FailCall(call, from);
    return true;
  }
  *error = "unknown command: " + command;
  return false;
}

}  // namespace

bool RunScript(const std::string& script, std::string* error) {
  std::string command;
  for (char c : script + "\n") {
    if (c != ';' && c != '\n') {
      command += c;
      continue;
    }
    if (!RunCommand(command, error)) return false;
    command.clear();
  }
  return true;
}

}  // namespace virtual_unit
