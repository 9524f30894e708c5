// nimbra-unit: finds, tests and switches the pilot's unit from a console.
#include <iostream>
#include <string>
#include <vector>

#include "platform/sleep.h"
#include "unit_tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const nimbra_unit::Console console{std::cout, std::cerr, platform::SleepMilliseconds};
  return nimbra_unit::Run(args, console);
}
