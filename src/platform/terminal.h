// Whether standard output is a terminal a console tool may redraw in place,
// and whether it may colour it: colour only on a terminal, and never while
// the NO_COLOR convention's variable is set to a non-empty value.
#pragma once

namespace platform {

// True when standard output is a terminal (on Windows: a console, switched
// to take the terminal's escape sequences).
bool OutputIsTerminal();

// True when OutputIsTerminal() and NO_COLOR is unset or empty.
bool OutputTakesColour();

}  // namespace platform
