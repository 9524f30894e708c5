// POSIX port of the link's notification. There are no windows and no Win32
// event objects on POSIX, so there is nothing to signal: the bridge opens the
// link with all three targets null anyway and polls with
// SimConnect_CallDispatch. The call does nothing.
#include "platform/notify.h"

namespace platform {

void NotifyTargets(void* /*window*/, std::uint32_t /*message*/, void* /*event*/) {}

}  // namespace platform
