// The socket library is started once, by whichever TCP connection needs it
// first, and cleaned up only if the link started it.
#include "simlink/socket_library.h"

#include <atomic>

#include "platform/io.h"

namespace simlink {
namespace {
std::atomic<bool> startedByLink{false};
}

bool StartSocketLibrary() {
  if (startedByLink.load()) return true;
  if (!platform::StartSocketLibrary()) return false;
  startedByLink = true;
  return true;
}

void StopSocketLibrary() {
  if (startedByLink.exchange(false)) platform::CleanupSocketLibrary();
}

}  // namespace simlink
