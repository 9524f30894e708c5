// The switches of simhost, one row per switch.
#include "arguments.h"

#include <cstdlib>

namespace simhost {

const char* const kArgumentsUsage =
    "usage: simhost [--pipe[=NAME]] [--no-pipe] [--tcp4 PORT] [--tcp6 PORT] [--script FILE] [--ticks]\n"
    "               [--value-period MS] [--quiet] [--one-client] [--open-delay MS] [--max-clients N]\n"
    "               [--any-name]\n"
    "Listens on the simulator's named pipe unless --no-pipe (or on pipe NAME); a TCP port 0 is an\n"
    "ephemeral port. Commands come from FILE, else from standard input (until end of input or exit).\n"
    "Serves every client at once (the bridge and nimbra-profile watch side by side), each with its\n"
    "own registrations; --one-client serves one at a time, the next waiting for its turn.\n"
    "As a simulator does, it refuses A: variables its catalogue does not know and units of another\n"
    "dimension (NAME_UNRECOGNIZED); --any-name registers every name (or: accept NAME).\n"
    "--open-delay holds every answer that long after a client connects, as a starting simulator\n"
    "does; --max-clients closes each connection beyond N at once, as a full simulator does.\n";

namespace {

bool ParseNumber(const std::string& text, long max, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& arguments, Arguments* out, std::string* error) {
  Options& options = out->options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    // The value of a switch that takes one, or null with `error` set.
    auto value = [&](const char* what) -> const std::string* {
      if (i + 1 >= arguments.size()) {
        *error = arg + " needs " + what;
        return nullptr;
      }
      return &arguments[++i];
    };
    auto number = [&](const char* what, long max, long* n) {
      const std::string* v = value(what);
      if (v != nullptr && ParseNumber(*v, max, n)) return true;
      *error = arg + " needs " + what;
      return false;
    };
    long n = 0;
    if (arg == "--pipe") {
      options.pipe = true;
    } else if (arg.rfind("--pipe=", 0) == 0) {
      options.pipe = true;
      options.pipeName = arg.substr(7);
    } else if (arg == "--no-pipe") {
      options.pipe = false;
    } else if (arg == "--tcp4" || arg == "--tcp6") {
      if (!number("a port number", 65535, &n)) return false;
      (arg == "--tcp4" ? options.tcp4Port : options.tcp6Port) = static_cast<std::uint16_t>(n);
    } else if (arg == "--script") {
      const std::string* v = value("a file");
      if (v == nullptr) return false;
      out->script = *v;
    } else if (arg == "--ticks") {
      options.ticks = true;
    } else if (arg == "--value-period") {
      if (!number("milliseconds", 86400000, &n)) return false;
      options.valuePeriod = Millis(n);
    } else if (arg == "--open-delay") {
      if (!number("milliseconds", 86400000, &n)) return false;
      options.openDelay = Millis(n);
    } else if (arg == "--max-clients") {
      if (!number("a number of clients", 1000000, &n) || n == 0) {
        *error = arg + " needs a number of clients from 1";
        return false;
      }
      options.maxClients = static_cast<std::size_t>(n);
    } else if (arg == "--any-name") {
      options.knownNamesOnly = false;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--one-client") {
      options.severalClients = false;
    } else if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else {
      *error = "unknown argument " + arg;
      return false;
    }
  }
  return true;
}

}  // namespace simhost
