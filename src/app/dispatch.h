// The one place where the bridge reacts to the simulator.
#pragma once

#include "simlink/simconnect.h"

void DispatchCallback(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);
