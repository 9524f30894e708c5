#include "platform/terminal.h"

#include <cstdlib>

#include <unistd.h>

namespace platform {

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool OutputTakesColour() {
  const char* noColour = std::getenv("NO_COLOR");
  return OutputIsTerminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace platform
