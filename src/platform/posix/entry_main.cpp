// POSIX entry point: arguments are ignored (the bridge takes no command line).
#include "app/run_bridge_process.h"

int main() { return RunBridgeProcess(); }
