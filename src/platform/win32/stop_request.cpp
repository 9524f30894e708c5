// The Windows bridge has no console or window: nothing asks it to stop.
#include "platform/stop_request.h"

namespace platform {

void WatchStopRequests() {}

bool StopRequested() { return false; }

}  // namespace platform
