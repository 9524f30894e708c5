// Another process (a profile editor, a script) asks for a GLOBAL reload by
// creating the device's write-side marker; the bridge answers with the
// read-side marker and holds it while the request stands. Markers are only
// tested for existence, never waited on, so neither side can block the other.
#include "devices/device.h"

void Device::ArbitrationCheck() {
  const platform::MarkerHandle request = platform::OpenMarkerIfExists(writeMutexName);
  if (readMutex == platform::kNoMarker) {
    if (request == platform::kNoMarker) return;
    platform::CloseMarker(request);
    ReloadJson(false);
    // A refused marker leaves the device idle: it reloads again next second.
    readMutex = platform::CreateOrOpenMarker(readMutexName);
    return;
  }
  if (request == platform::kNoMarker) {
    platform::CloseMarker(readMutex);
    readMutex = platform::kNoMarker;
    return;
  }
  platform::CloseMarker(request);
}
