// Installing the observer of the transport choice's attempts.
#include "simlink/connection_attempts_internal.h"

#include <utility>

namespace simlink {

void SetConnectionAttemptObserver(ConnectionAttemptObserver next) {
  detail::ConnectionAttemptSlot& slot = detail::ConnectionAttemptObserverSlot();
  std::lock_guard<std::mutex> lock(slot.lock);
  slot.observer = std::move(next);
}

}  // namespace simlink
