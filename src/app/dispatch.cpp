#include "app/dispatch.h"

// Every received message comes through here on the main thread. The reactions
// (events, menu picks, aircraft loads, values, exceptions) arrive with the
// devices, profiles and variables they drive; until then messages are accepted
// and left alone.
void DispatchCallback(SIMCONNECT_RECV*, DWORD, void*) {}
