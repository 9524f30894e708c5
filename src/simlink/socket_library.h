// The socket library is started once per process by the first TCP attempt
// and shut down after the last connection object is gone.
#pragma once

namespace simlink {

// Starts it unless the link already did; false when it cannot be started.
bool StartSocketLibrary();

// Shuts it down when the link started it.
void StopSocketLibrary();

}  // namespace simlink
