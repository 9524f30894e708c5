// A console program's command line and its own location as UTF-8 text. On
// Windows the narrow argv is in the ANSI code page, which cannot hold every
// character of a path; the wide command line can.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments after the program's name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Lets the console show the UTF-8 text the program prints (Windows' console
// otherwise reads it in its own code page).
void UseUtf8Console();

// The running program's folder with a trailing separator; empty when it
// cannot be found.
std::string ProgramFolder();

}  // namespace platform
