// The words of one command line and the numbers and bytes in them, as the
// simhost command language reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"

namespace simhost {

// Splits a line into words; "double quotes" keep blanks (no escapes, so
// Windows paths stay as they are).
std::vector<std::string> SplitWords(const std::string& line);
// Hex digits to bytes, blanks and commas ignored; nullopt for odd or bad digits.
std::optional<Bytes> ParseHex(const std::string& text);
// The rest of the line after the first `words` words, without surrounding
// blanks and one pair of surrounding quotes.
std::string RestOfLine(const std::string& line, int words);

std::string Lower(std::string s);
// Without outer blanks and tabs, as the simulator compares names.
std::string Trimmed(const std::string& text);
// A 32-bit number, decimal or 0x-hex; no sign.
bool ParseU32(const std::string& text, std::uint32_t* out);
// A number, or on/true (1) and off/false (0).
bool ParseDouble(const std::string& text, double* out);

}  // namespace simhost
