// The GUI-subsystem entry point. No window is created; arguments are ignored.
#include <winsock2.h>
#include <windows.h>

#include "platform/program_entry.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  return RunBridgeProcess();
}
