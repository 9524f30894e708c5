// A console takes escape sequences once virtual terminal processing is on;
// a console that refuses it is not redrawn in place.
#include "platform/terminal.h"

#include <cstdlib>

#include <windows.h>

namespace platform {

bool OutputIsTerminal() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return false;
  return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool OutputTakesColour() {
  const char* noColour = std::getenv("NO_COLOR");
  return OutputIsTerminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace platform
