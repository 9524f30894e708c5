// Whether the connection behind a simulator handle is lost for good. A caller
// whose request failed asks it to tell the end of the link, which is the
// bridge's end too and reported once by the dispatch loop, from a refusal of
// that one request.
#pragma once

#include "simlink/simconnect.h"

// True once the link behind `handle` is lost; false for a null handle.
bool SimConnectLinkLost(HANDLE handle);
