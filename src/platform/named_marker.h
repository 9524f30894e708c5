// System-wide named markers: objects whose only meaning is that they exist.
// Another process asks a device to reload by creating one and the bridge
// acknowledges with another. Windows uses named mutexes that are never waited
// on; POSIX uses lock files whose shared locks stand for open handles.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An open marker handle; kNoMarker when there is none.
using MarkerHandle = std::intptr_t;
inline constexpr MarkerHandle kNoMarker = 0;

// Opens the marker `name` if some process holds it; creates nothing.
MarkerHandle OpenMarkerIfExists(const std::string& name);

// Opens the marker `name`, creating it when nobody holds it; kNoMarker when
// the system refuses.
MarkerHandle CreateOrOpenMarker(const std::string& name);

// Gives the handle back; the marker disappears with its last handle.
void CloseMarker(MarkerHandle marker);

}  // namespace platform
