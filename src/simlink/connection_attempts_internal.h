// Where the transport choice reports its attempts: the observer slot that the
// testing library fills. Only transport_choice.cpp and that library include it.
#pragma once

#include <mutex>

#include "simlink/connection_attempts_testing.h"

namespace simlink::detail {

struct ConnectionAttemptSlot {
  std::mutex lock;
  ConnectionAttemptObserver observer;  // empty: nobody looks
};

ConnectionAttemptSlot& ConnectionAttemptObserverSlot();

}  // namespace simlink::detail
