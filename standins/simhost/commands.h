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
#include "words.h"

namespace simhost {

// The help text: every command with its arguments and what it does, from
// the same table that words the usage errors.
std::string CommandHelp();

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
  struct Call;  // one line being run, with the handlers of the commands
  friend std::string CommandHelp();

  SimHost& host_;
  std::ostream& out_;
  std::size_t cursor_ = 0;  // messages before this index were taken by waits
  std::optional<std::uint32_t> lastSendId_;
};

}  // namespace simhost
