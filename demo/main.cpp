// nimbra-demo: flies a scripted scenario against the real bridge. simhost
// runs in this process and plays the scenario; the bridge runs as a child
// with virtual_unit preloaded; the terminal shows the unit's LED panel, the
// simulator's menu and red text lines and the scenario's clock, redrawn in
// place (or, without a terminal, as plain lines). It ends with a summary and
// a non-zero exit status when the bridge misbehaved.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "platform/terminal.h"
#include "scenario.h"
#include "sim_host.h"
#include "unit_view.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage: nimbra-demo --bridge EXE --unit LIBVIRTUAL_UNIT --scenario FILE --profile FILE\n"
    "                   [--aircraft FOLDER] [--own-profiles FOLDER] [--plain]\n"
    "Plays the scenario FILE against the bridge EXE (with LIBVIRTUAL_UNIT, an absolute path, preloaded\n"
    "as the unit).\n"
    "${AIRCRAFT} in the scenario stands for the --aircraft FOLDER; the panel's labels come from the\n"
    "profile FILE. With --own-profiles the bridge runs as a copy whose corvane_profiles folder (the\n"
    "pilot's own per-aircraft profiles) is FOLDER.\n"
    "--plain prints lines instead of redrawing the screen (the default without a terminal).\n"
    "Exit status: 0 when every expectation was met and the bridge exited with 0, 1 otherwise,\n"
    "2 for a usage error.\n";

struct Options {
  std::string bridge, unit, scenario, aircraft, profile, ownProfiles;
  bool plain = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (arg == "--plain") {
      options->plain = true;
    } else if (!((arg == "--bridge" && value(&options->bridge)) || (arg == "--unit" && value(&options->unit)) ||
                 (arg == "--scenario" && value(&options->scenario)) ||
                 (arg == "--aircraft" && value(&options->aircraft)) || (arg == "--profile" && value(&options->profile)) ||
                 (arg == "--own-profiles" && value(&options->ownProfiles)))) {
      return false;
    }
  }
  return !options->bridge.empty() && !options->unit.empty() && !options->scenario.empty() &&
         !options->profile.empty();
}

// A folder as a simulator under Wine reports it: "Z:" and backslashes.
std::string WindowsPath(const fs::path& folder) {
  std::string path = "Z:" + fs::absolute(folder).lexically_normal().string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string Stamp(double seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "[%5.1f] ", seconds);
  return text;
}

// What has been shown already, so that plain output prints only news.
struct Seen {
  std::size_t events = 0, texts = 0, reports = 0;
  std::string menu;
};

void PrintNews(const demo::Scenario& scenario, const simhost::SimHost& host, const demo::UnitView& unit, Seen& seen) {
  const std::string stamp = Stamp(scenario.Clock());
  const std::string menu = simhost::RenderMenu(host.Menu());
  if (menu != seen.menu) {
    std::cout << stamp << menu << "\n";
    seen.menu = menu;
  }
  const std::vector<demo::Event> events = scenario.EventsFrom(seen.events);
  for (const demo::Event& event : events) std::cout << Stamp(event.seconds) << event.text << "\n";
  seen.events += events.size();
  const std::vector<simhost::TextLine> texts = host.TextLines();
  for (; seen.texts < texts.size(); ++seen.texts) std::cout << stamp << "simulator text: " << texts[seen.texts].text << "\n";
  if (unit.ReportCount() != seen.reports) {
    seen.reports = unit.ReportCount();
    std::cout << stamp << "unit: report " << seen.reports << ": " << unit.LitList() << "\n";
  }
  std::cout.flush();
}

void Redraw(const Options& options, const demo::Scenario& scenario, const simhost::SimHost& host,
            const demo::UnitView& unit) {
  std::vector<std::string> lines;
  char head[160];
  std::snprintf(head, sizeof head, "Nimbra Bridge demo: %s    clock %5.1f s    reports sent to the unit: %zu",
                fs::path(options.scenario).filename().c_str(), scenario.Clock(), unit.ReportCount());
  lines.push_back(head);
  lines.push_back("Now: " + scenario.Now());
  lines.push_back("");
  lines.push_back("Velk_Throttle LEDs ((#) lit):");
  for (const std::string& line : unit.Panel(platform::OutputTakesColour())) lines.push_back(line);
  lines.push_back("");
  lines.push_back("Simulator menu:");
  std::istringstream menu(simhost::RenderMenu(host.Menu()));
  for (std::string line; std::getline(menu, line);) lines.push_back("  " + line);
  lines.push_back("Simulator text lines (latest last):");
  const std::vector<simhost::TextLine> texts = host.TextLines();
  for (std::size_t i = texts.size() > 5 ? texts.size() - 5 : 0; i < texts.size(); ++i) lines.push_back("  " + texts[i].text);
  lines.push_back("Checks:");
  const std::vector<demo::Event> events = scenario.EventsFrom(0);
  for (std::size_t i = events.size() > 4 ? events.size() - 4 : 0; i < events.size(); ++i) {
    if (events[i].text.rfind("as expected", 0) == 0 || events[i].text.rfind("NOT", 0) == 0 ||
        events[i].text.rfind("scenario:", 0) == 0) {
      lines.push_back("  " + Stamp(events[i].seconds) + events[i].text);
    }
  }
  std::string screen = "\x1b[H";
  for (const std::string& line : lines) screen += line + "\x1b[K\n";
  screen += "\x1b[J";
  std::cout << screen << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::cerr << kUsage;
    return 2;
  }
  if (!platform::OutputIsTerminal()) options.plain = true;
  std::vector<std::string> lines;
  std::string error;
  if (!demo::ReadScenario(options.scenario, &lines, &error)) {
    std::cerr << "nimbra-demo: " << error << "\n";
    return 2;
  }

  // A folder and a pipe of the demo's own.
  char pattern[] = "/tmp/nimbra-demo-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::cerr << "nimbra-demo: cannot make a work folder\n";
    return 2;
  }
  const fs::path work = pattern;
  const std::string pipe = "nimbra-demo-" + std::to_string(getpid());
  std::ofstream(work / "SimConnect.cfg") << "[SimConnect]\nProtocol=Pipe\nPort=" << pipe << "\n";

  demo::UnitView unit((work / "reports").string());
  if (!unit.LoadLabels(options.profile, &error)) std::cerr << "nimbra-demo: " << error << " (no labels)\n";

  simhost::Options hostOptions;
  hostOptions.pipeName = pipe;
  hostOptions.valuePeriod = 100ms;
  simhost::SimHost host(hostOptions);
  try {
    host.Start();
  } catch (const std::exception& e) {
    std::cerr << "nimbra-demo: " << e.what() << "\n";
    return 2;
  }

  // The pilot's own profile folder lies beside the executable: a copy of
  // the bridge in the work folder gets one.
  std::string bridgeExecutable = fs::absolute(options.bridge).string();
  if (!options.ownProfiles.empty()) {
    std::error_code failed;
    const fs::path copy = work / "Nimbra_Bridge";
    fs::copy_file(options.bridge, copy, failed);
    if (!failed) fs::create_directory_symlink(fs::absolute(options.ownProfiles), work / "corvane_profiles", failed);
    if (failed) {
      std::cerr << "nimbra-demo: cannot set up the bridge's own profile folder: " << failed.message() << "\n";
      host.Stop();
      fs::remove_all(work, failed);
      return 2;
    }
    bridgeExecutable = copy.string();
  }

  child::ChildProcess bridge;
  child::Launch launch;
  launch.executable = bridgeExecutable;
  launch.folder = work.string();
  launch.environment = {"LD_PRELOAD=" + fs::absolute(options.unit).string(),
                        "VIRTUAL_UNIT_REPORTS=" + (work / "reports").string(), "HOME=" + work.string()};
  launch.outFile = launch.errFile = (work / "bridge.err").string();
  if (!bridge.Start(launch, &error)) {
    std::cerr << "nimbra-demo: " << error << "\n";
    return 2;
  }

  demo::Scenario scenario(host, unit, lines, options.aircraft.empty() ? std::string() : WindowsPath(options.aircraft));
  // What the bridge has said so far: its boxes and lines, on standard error.
  const auto bridgeMessages = [file = work / "bridge.err"] {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  scenario.SetMessages(bridgeMessages);
  scenario.Start();
  Seen seen;
  if (!options.plain) std::cout << "\x1b[2J";
  while (!scenario.Finished()) {
    unit.Poll();
    options.plain ? PrintNews(scenario, host, unit, seen) : Redraw(options, scenario, host, unit);
    std::this_thread::sleep_for(100ms);
  }
  scenario.Join();
  std::optional<int> code = bridge.Wait(10s);
  if (!code) {
    bridge.Kill();
    std::cout << "nimbra-demo: the bridge did not exit within 10 s after the simulator closed\n";
  }
  unit.Poll();
  options.plain ? PrintNews(scenario, host, unit, seen) : Redraw(options, scenario, host, unit);
  host.Stop();

  std::string lit;
  for (const demo::Position& position : unit.EverLit()) {
    lit += (lit.empty() ? "" : ", ") + std::to_string(position.first) + "/" + std::to_string(position.second) + " " +
           unit.Label(position);
  }
  const std::string boxes = bridgeMessages();
  const bool ok = code == 0 && scenario.Missed() == 0 && scenario.Failures() == 0;
  std::printf("\nsummary: %s, %.1f s\n", fs::path(options.scenario).filename().c_str(), scenario.Clock());
  std::printf("  reports sent to the unit: %zu\n", unit.ReportCount());
  std::printf("  LEDs lit at some time: %s\n", lit.empty() ? "none" : lit.c_str());
  std::printf("  expectations: %zu met, %zu missed; scenario commands failed: %zu\n", scenario.Met(),
              scenario.Missed(), scenario.Failures());
  std::printf("  the bridge's exit code: %s\n", code ? std::to_string(*code).c_str() : "none (killed)");
  if (!boxes.empty()) std::printf("  the bridge's messages:\n%s", boxes.c_str());
  std::printf("%s\n", ok ? "demo: the bridge behaved" : "demo: the bridge MISBEHAVED");
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return ok ? 0 : 1;
}
