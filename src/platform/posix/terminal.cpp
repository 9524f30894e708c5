// Whether standard output is a terminal, and one that takes colour, for the
// tools' live views (a non-empty NO_COLOR turns colour off).
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
