// A console program's arguments and folder on POSIX, where both are bytes.
#include "platform/program_arguments.h"

#include "platform/module_path.h"

namespace platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void UseUtf8Console() {}

std::string ProgramFolder() { return ModuleDirectory(); }

}  // namespace platform
