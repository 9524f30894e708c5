// Reading the link's INI-format configuration file with the rules of the
// system's profile functions: section and key names compared without regard to
// case, blanks around names and values trimmed, one pair of surrounding quotes
// taken off a value, the first matching section and key win, and a line that
// starts with ';' is a comment.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Copies the value of `key` in `section` of `file` into `buffer` (`size`
// bytes, zero-terminated, cut to size - 1 characters); an empty text when the
// file, section or key is missing. Returns the number of characters copied.
std::uint32_t ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                char* buffer, std::uint32_t size);

// Copies the lines of `section` ("name=value", each zero-terminated, the list
// ending with an extra zero) into `buffer` (`size` bytes). Returns the number
// of characters copied without the final zero, size - 2 when the lines did not
// fit, and 0 when the section is missing or holds no line.
std::uint32_t ReadProfileSection(const std::string& file, const std::string& section, char* buffer,
                                 std::uint32_t size);

}  // namespace platform
