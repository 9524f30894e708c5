// Named markers as named mutexes that are only opened, created and closed,
// never waited on.
#include "platform/named_marker.h"

#include <winsock2.h>
#include <windows.h>

namespace platform {

MarkerHandle OpenMarkerIfExists(const std::string& name) {
  return reinterpret_cast<MarkerHandle>(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
}

MarkerHandle CreateOrOpenMarker(const std::string& name) {
  return reinterpret_cast<MarkerHandle>(CreateMutexA(nullptr, FALSE, name.c_str()));
}

void CloseMarker(MarkerHandle marker) {
  if (marker != kNoMarker) CloseHandle(reinterpret_cast<HANDLE>(marker));
}

}  // namespace platform
