// simhost's command table: the usage errors it words for each command, and
// the help it prints from the same rows, with no client connected.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "commands.h"

namespace {

using R = simhost::CommandRunner::Result;

struct UsageCase {
  const char* line;
  const char* error;
};

TEST(SimHostCommands, EachMalformedLineGetsItsCommandsUsage) {
  const char* const kWaitUsage =
      "usage: wait client|disconnect [MS] | wait open [MS] | wait message TYPE [MS] | wait N messages [MS] | "
      "wait value NAME [MS]";
  const UsageCase cases[] = {
      {"event", "usage: event NAME [DATA]"},
      {"EVENT Sim x", "usage: event NAME [DATA]"},
      {"sim maybe", "usage: sim on|off"},
      {"event-id 1 2 3 4", "usage: event-id ID [DATA [GROUP]]"},
      {"ticks", "usage: ticks on|off"},
      {"aircraft", "usage: aircraft PATH | aircraft EVENT | STATE"},
      {"pick", "usage: pick ID|TEXT"},
      {"set A unit", "usage: set NAME UNIT VALUE"},
      {"accept", "usage: reject NAME | accept NAME"},
      {"exception 7", "usage: exception CODE SENDID|last [INDEX]"},
      {"raw XYZ", "usage: raw HEX"},
      {"raw-split 1 2", "usage: raw-split AT PAUSE_MS HEX"},
      {"raw-size -1", "usage: raw-size N"},
      {"garbage 0", "usage: garbage N (1 to 1000000)"},
      {"message event 9 1 cut x",
       "usage: message event ID DATA [cut N] | message filename ID HEX|filename-text ID TEXT [cut N] | "
       "message frame SIZE VERSION TYPE [HEX] [cut N]"},
      {"value-period", "usage: value-period MS"},
      {"flood maybe", "usage: flood on|off"},
      {"wait message NoSuchType", kWaitUsage},
      {"wait client 1 2", kWaitUsage},
      {"wait value", kWaitUsage},
      {"sleep", "usage: sleep MS"},
      {"show nothing", "usage: show menu|subscriptions|definitions|requests|texts|messages|refused|flood"},
  };
  simhost::SimHost host;  // not started: nothing to connect to
  std::ostringstream out;
  simhost::CommandRunner runner(host, out);
  for (const UsageCase& c : cases) {
    std::string error;
    EXPECT_EQ(runner.Execute(c.line, &error), R::Failed) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
  EXPECT_EQ(out.str(), "");
}

TEST(SimHostCommands, EveryCommandInTheHelpIsKnownAndTheOthersAreNot) {
  simhost::SimHost host;
  std::ostringstream out;
  simhost::CommandRunner runner(host, out);
  std::string error;
  EXPECT_EQ(runner.Execute("frobnicate now", &error), R::Failed);
  EXPECT_EQ(error, "unknown command \"frobnicate\" (try help)");
  EXPECT_EQ(runner.Execute("  # a comment", &error), R::Ok);
  EXPECT_EQ(runner.Execute("EXIT", &error), R::Exit);

  ASSERT_EQ(runner.Execute("help", &error), R::Ok);
  EXPECT_EQ(out.str(), simhost::CommandHelp());
  std::istringstream help(simhost::CommandHelp());
  std::string line;
  std::size_t commands = 0;
  while (std::getline(help, line)) {
    if (line.rfind("  ", 0) != 0 || line[2] == ' ') continue;  // a heading or a help line's continuation
    // Each name a help line starts with, or names after " | ", is a command.
    for (std::size_t at = 2; at != std::string::npos;) {
      const std::string name = line.substr(at, line.find(' ', at) - at);
      if (runner.Execute(name + " \"1\" 2 3 4 5 6 7", &error) == R::Failed) {
        EXPECT_EQ(error.find("unknown command"), std::string::npos) << name << ": " << error;
      }
      ++commands;
      at = line.find(" | ", at);
      if (at != std::string::npos) at += 3;
      if (at != std::string::npos && std::isupper(static_cast<unsigned char>(line[at]))) break;  // "EVENT | STATE"
    }
  }
  EXPECT_GE(commands, 26u);
}

TEST(SimHostCommands, HelpPutsEachHelpTextInItsColumn) {
  const std::string help = simhost::CommandHelp();
  for (const char* line : {
           "\n  event NAME [DATA]            system event to its subscriber (Sim, 6Hz, 1sec, ...)\n",
           "\n  aircraft EVENT | STATE       AircraftLoaded with EVENT, then system-state STATE: the two\n"
           "                               strings of one aircraft as a simulator sends them; either may be\n",
           "\n  exception CODE SENDID|last [INDEX]\n",
           "\n  message frame SIZE VERSION TYPE [HEX] [cut N]\n                               a header of your choice",
           "\n  close | reset                orderly close / abortive reset of the connection\n",
           "\n  wait open [MS] | wait message TYPE [MS] | wait N messages [MS]\n",
           "\n  wait value NAME [MS]         until the client was sent NAME's present value\n",
           "\n  help | exit\n'last' is the send id",
       }) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(help.rfind("commands (one per line; # starts a comment; quote texts that hold blanks):\n", 0), 0u);
}

}  // namespace
