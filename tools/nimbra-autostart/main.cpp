// nimbra-autostart: makes the simulator start Nimbra Bridge, through the
// add-on list exe.xml of each installed simulator.
#include <iostream>

#include "autostart.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  return autostart::Run(platform::ProgramArguments(argc, argv), platform::ProgramFolder(), std::cout, std::cerr);
}
