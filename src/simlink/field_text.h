// The text of a fixed-size, zero-terminated field of a received message,
// read no further than the field: one without its zero ends at the field's
// end.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  const void* zero = std::memchr(field, '\0', N);
  return std::string(field, zero != nullptr ? static_cast<const char*>(zero) - field : N);
}
