// Comparing names without regard to ASCII case, as INI files, simulator
// paths and folder names are compared; other bytes compare as they are, so
// the result never depends on the user's locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

inline char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace platform
