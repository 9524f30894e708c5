// simhost: a SimConnect server standing in for the simulator. It shows what a
// simulator would show its user and takes commands from a script or stdin.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <system_error>

#include "commands.h"
#include "line_editor.h"
#include "sim_host.h"

namespace {

const char* kUsage =
    "usage: simhost [--pipe[=NAME]] [--no-pipe] [--tcp4 PORT] [--tcp6 PORT] [--script FILE] [--ticks]\n"
    "               [--value-period MS] [--quiet] [--one-client]\n"
    "Listens on the simulator's named pipe unless --no-pipe (or on pipe NAME); a TCP port 0 is an\n"
    "ephemeral port. Commands come from FILE, else from standard input (until end of input or exit).\n"
    "Serves every client at once (the bridge and nimbra-profile watch side by side), each with its\n"
    "own registrations; --one-client serves one at a time, the next waiting for its turn.\n";

bool ParsePort(const std::string& text, std::uint16_t* port) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 65535) return false;
  *port = static_cast<std::uint16_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  simhost::Options options;
  options.display = &std::cout;
  options.severalClients = true;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--pipe") {
      options.pipe = true;
    } else if (arg.rfind("--pipe=", 0) == 0) {
      options.pipe = true;
      options.pipeName = arg.substr(7);
    } else if (arg == "--no-pipe") {
      options.pipe = false;
    } else if (arg == "--tcp4" || arg == "--tcp6") {
      std::uint16_t port;
      if (!value(&v) || !ParsePort(v, &port)) {
        std::cerr << "simhost: " << arg << " needs a port number\n" << kUsage;
        return 2;
      }
      (arg == "--tcp4" ? options.tcp4Port : options.tcp6Port) = port;
    } else if (arg == "--script") {
      if (!value(&script)) {
        std::cerr << "simhost: --script needs a file\n" << kUsage;
        return 2;
      }
    } else if (arg == "--ticks") {
      options.ticks = true;
    } else if (arg == "--value-period") {
      char* end = nullptr;
      long ms = value(&v) ? std::strtol(v.c_str(), &end, 10) : -1;
      if (ms < 0 || !end || *end != '\0') {
        std::cerr << "simhost: --value-period needs milliseconds\n" << kUsage;
        return 2;
      }
      options.valuePeriod = simhost::Millis(ms);
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--one-client") {
      options.severalClients = false;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << simhost::CommandHelp();
      return 0;
    } else {
      std::cerr << "simhost: unknown argument " << arg << "\n" << kUsage;
      return 2;
    }
  }

  std::ifstream file;
  if (!script.empty()) {
    file.open(script);
    if (!file) {
      std::cerr << "simhost: cannot read script " << script << "\n";
      return 2;
    }
  }

  simhost::SimHost host(options);
  try {
    host.Start();
  } catch (const std::system_error& e) {
    std::cerr << "simhost: " << e.what() << "\n";
    return 2;
  }
  for (const std::string& endpoint : host.Endpoints()) std::cout << "listening: " << endpoint << std::endl;

  simhost::CommandRunner runner(host, std::cout);
  std::istream& in = script.empty() ? std::cin : file;
  // At a terminal: tab completes commands, the variables the client
  // registered and the local variables known so far.
  simhost::LineEditor editor(in, [&host] {
    std::set<std::string> names;
    for (const auto& [id, data] : host.Definitions()) {
      for (const simhost::Datum& datum : data) names.insert(datum.name);
    }
    for (const std::string& name : host.LocalVariables()) names.insert(name);
    return std::vector<std::string>(names.begin(), names.end());
  });
  int status = 0;
  std::string line;
  int number = 0;
  while (editor.Read(&line)) {
    ++number;
    std::string error;
    auto result = runner.Execute(line, &error);
    if (result == simhost::CommandRunner::Result::Exit) break;
    if (result == simhost::CommandRunner::Result::Failed) {
      if (script.empty()) {
        std::cerr << "simhost: " << error << std::endl;
      } else {
        std::cerr << "simhost: " << script << ":" << number << ": " << error << std::endl;
        status = 1;
        break;
      }
    }
  }
  host.Stop();
  return status;
}
