// The colours the console tools give the unit's LEDs, so that the demo's
// panel and `nimbra-profile watch` look alike: a lit LED bold yellow, what
// went wrong (a variable the simulator rejected) bold red, what plays no part
// (a dark LED's mark, an entry passed over) faint. Only where the terminal
// takes colour (platform/terminal.h).
#pragma once

#include <string>

namespace console {

inline constexpr const char* kLit = "\x1b[1;33m";
inline constexpr const char* kWrong = "\x1b[1;31m";
inline constexpr const char* kFaint = "\x1b[2m";
inline constexpr const char* kReset = "\x1b[0m";

// `text` in `colour` when `on`, else as it is.
inline std::string Painted(const std::string& text, const char* colour, bool on) {
  return on ? colour + text + kReset : text;
}

}  // namespace console
