// simhost: a SimConnect server standing in for the simulator. It shows what a
// simulator would show its user and takes commands from a script or stdin.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "line_editor.h"
#include "sim_host.h"

int main(int argc, char** argv) {
  simhost::Arguments arguments;
  arguments.options.display = &std::cout;
  arguments.options.severalClients = true;
  std::string error;
  if (!simhost::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), &arguments, &error)) {
    std::cerr << "simhost: " << error << "\n" << simhost::kArgumentsUsage;
    return 2;
  }
  if (arguments.help) {
    std::cout << simhost::kArgumentsUsage << simhost::CommandHelp();
    return 0;
  }
  const simhost::Options& options = arguments.options;
  const std::string& script = arguments.script;

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
