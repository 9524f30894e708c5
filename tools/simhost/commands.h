// The command language of the simhost command, one command per line, for
// script files and interactive use. `help` lists the commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim_host.h"

namespace simhost {

inline constexpr const char* kCommandHelp =
    "commands (one per line; # starts a comment; quote texts that hold blanks):\n"
    "  event NAME [DATA]            system event to its subscriber (Sim, 6Hz, 1sec, ...)\n"
    "  sim on|off                   event Sim 1 / event Sim 0\n"
    "  event-id ID [DATA [GROUP]]   event with a client event id of your choice\n"
    "  ticks on|off                 6Hz six times a second and 1sec once a second\n"
    "  aircraft PATH                AircraftLoaded with a Windows path (rest of the line)\n"
    "  aircraft EVENT | STATE       AircraftLoaded with EVENT, then the SYSTEM_STATE answer (request\n"
    "                               id 0) with STATE: the two strings of one aircraft as a simulator\n"
    "                               sends them; either may be empty\n"
    "  system-state TEXT            SYSTEM_STATE, request id 0, with TEXT (rest of the line)\n"
    "  pick ID|TEXT                 the user picks a menu item\n"
    "  set NAME UNIT VALUE          value of a simulation variable; set L:NAME UNIT VALUE: of a\n"
    "                               local variable, in every unit\n"
    "  reject NAME / accept NAME    AddToDataDefinition of NAME gets NAME_UNRECOGNIZED / no more\n"
    "  exception CODE SENDID|last [INDEX]\n"
    "  raw HEX                      bytes as they are (blanks in HEX allowed)\n"
    "  raw-split AT PAUSE_MS HEX    the bytes in two writes, split after AT bytes\n"
    "  raw-size N                   a 4-byte size field alone\n"
    "  garbage N                    N random bytes\n"
    "  message event ID DATA [cut N]          an EVENT as built here (group unused), or its first N bytes\n"
    "  message filename ID HEX|filename-text ID TEXT [cut N]\n"
    "                               an EVENT_FILENAME whose name holds these bytes or this text\n"
    "  message frame SIZE VERSION TYPE [HEX] [cut N]  a header of your choice, then HEX\n"
    "  quit                         QUIT message\n"
    "  close | reset                orderly close / abortive reset of the connection\n"
    "  value-period MS              least time between two values of one request\n"
    "  flood on|off                 values of every request as fast as the client reads, with ticks\n"
    "  wait client|disconnect [MS]\n"
    "  wait open [MS] | wait message TYPE [MS] | wait N messages [MS]\n"
    "                               messages after those the previous waits took\n"
    "  sleep MS\n"
    "  show menu|subscriptions|definitions|requests|texts|messages|refused|flood\n"
    "  help | exit\n"
    "'last' is the send id of the message the latest wait took (else the newest one).\n";

class CommandRunner {
 public:
  enum class Result { Ok, Exit, Failed };

  // `out` receives the answers of show and help.
  CommandRunner(SimHost& host, std::ostream& out);

  // Runs one line. On Failed, `error` says why (unknown command, bad
  // argument, a wait that timed out, nothing connected).
  Result Execute(const std::string& line, std::string* error);

  Millis defaultWait{10000};

 private:
  std::string Show(const std::string& what) const;

  SimHost& host_;
  std::ostream& out_;
  std::size_t cursor_ = 0;  // messages before this index were taken by waits
  std::optional<std::uint32_t> lastSendId_;
};

// Splits a line into words; "double quotes" keep blanks (no escapes, so
// Windows paths stay as they are).
std::vector<std::string> SplitWords(const std::string& line);
// Hex digits to bytes, blanks and commas ignored; nullopt for odd or bad digits.
std::optional<Bytes> ParseHex(const std::string& text);

}  // namespace simhost
