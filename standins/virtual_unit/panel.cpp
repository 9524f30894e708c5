// The unit's face as text: one row per LED byte, one column per bit.
#include <string>

#include "devices/supported_unit.h"
#include "virtual_unit.h"

namespace virtual_unit {

std::string DrawPanel(const std::vector<std::uint8_t>& report) {
  // The unit's grid: eight LEDs a byte, fewer in the last one.
  const int lastByte = kSupportedUnitLastByteIndex;
  auto lit = [&](int byte, int bit) {
    return static_cast<std::size_t>(byte) < report.size() && (report[byte] >> bit & 1) != 0;
  };
  std::string panel = "       bit 0 1 2 3 4 5 6 7\n";
  for (int byte = 1; byte <= lastByte; ++byte) {
    panel += "  byte " + std::to_string(byte) + "  ";
    const int bits = byte == lastByte ? kSupportedUnitLastByteMaxBit + 1 : 8;
    for (int bit = 0; bit < bits; ++bit) panel += lit(byte, bit) ? " #" : " .";
    panel += "\n";
  }
  const unsigned id = report.empty() ? 0 : report[0];
  panel += "  gate    byte 0 bit 0 is the report identifier (" + std::to_string(id) + "), no lamp\n";
  return panel;
}

}  // namespace virtual_unit
