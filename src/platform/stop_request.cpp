// The one stop flag of the process. A signal handler, a console handler
// thread and the dispatch loop share it, so it is an atomic that must be
// lock-free: only such an atomic may be written inside a signal handler.
#include "platform/stop_request.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set inside signal handlers");

}  // namespace

void RequestStop() { stopRequested.store(true); }

bool StopRequested() { return stopRequested.load(); }

}  // namespace platform
