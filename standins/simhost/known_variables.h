// Which simulation variables simhost knows, as a simulator does: the names of
// the checker's catalogue, in any case and with blanks around them, an index
// ":N" after any of them, and any unit of the variable's own dimension. An
// unknown name, or a known unit of another dimension, is what the simulator
// answers with NAME_UNRECOGNIZED. Local variables ("L:") are not looked at.
#pragma once

#include <cstdint>
#include <string>

namespace simhost {

// 0 when the simulator would register the datum; else the 1-based parameter
// at fault: wire::kIndexName for the name, wire::kIndexUnit for the unit.
std::uint32_t UnknownToCatalogue(const std::string& name, const std::string& unit);

}  // namespace simhost
