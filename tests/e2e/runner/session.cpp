// Running a case. simhost runs in this process: the runner waits on its own
// WaitFor... calls (through the host commands of the case), never on sleeps
// or on counting its output. Everything it showed (the display lines and the
// answers of `show`) goes to the HOST stream in the order it appeared.
#include "session.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <thread>

#include "child_process.h"
#include "arguments.h"
#include "commands.h"
#include "platform/named_marker.h"
#include "platform/tray_icon_testing.h"
#include "sim_host.h"
#include "support/own_pipe.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Lines from several threads into one list: each writer has a sink of its
// own that hands over whole lines.
class Transcript {
 public:
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class LineSink : public std::streambuf {
 public:
  explicit LineSink(Transcript& transcript) : transcript_(transcript) {}
  ~LineSink() override {
    if (!partial_.empty()) transcript_.Add(partial_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (c == '\n') {
      transcript_.Add(partial_);
      partial_.clear();
    } else {
      partial_ += static_cast<char>(c);
    }
    return c;
  }

 private:
  Transcript& transcript_;
  std::string partial_;
};

// The launch of a tool's command line ("NAME ARGUMENTS..."), from the tools
// the runner was given: what to start and with what; false with the reason
// when there is no such tool.
bool ToolLaunch(const std::string& commandLine, const Programs& programs, child::Launch* launch,
                std::string* why) {
  const std::vector<std::string> words = simhost::SplitWords(commandLine);
  const auto tool = words.empty() ? programs.tools.end() : programs.tools.find(words[0]);
  if (tool == programs.tools.end()) {
    const std::string name = words.empty() ? std::string() : words[0];
    *why = "no program for " + name + " (give it with --tool " + name + "=PATH)";
    return false;
  }
  launch->executable = tool->second;
  launch->arguments.assign(words.begin() + 1, words.end());
  return true;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A report as virtual_unit writes it ("00 01 00 ..."), shortened to its
// bytes that are not zero ("1=01 4=08"), or "zeros"; other lengths than the
// unit's 65 bytes are named first.
std::string ShortReport(const std::string& line) {
  std::istringstream words(line);
  std::string out, byte;
  int index = 0;
  for (; words >> byte; ++index) {
    if (byte == "00") continue;
    if (!out.empty()) out += ' ';
    out += std::to_string(index);
    out += '=';
    out += byte;
  }
  if (out.empty()) out = "zeros";
  return index == 65 ? out : std::to_string(index) + " bytes: " + out;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The work folder as the simulator would name it: a Windows path (under
// wine on Linux, drive Z: is the root).
std::string WindowsPath(const fs::path& path) {
  if (kWindows) return fs::path(path).make_preferred().string();
  return "Z:" + Replace(path.generic_string(), "/", "\\");
}

// ${WORK} as the simulator names the work folder, ${WORK-NATIVE} as this
// platform's programs do.
Case Resolve(Case c, const std::string& work, const std::string& native) {
  auto apply = [&](std::string& text) { text = Replace(Replace(text, "${WORK}", work), "${WORK-NATIVE}", native); };
  for (std::string& e : c.environment) apply(e);
  for (Fixture& f : c.files) apply(f.bytes);
  for (Fixture& f : c.appDataFiles) apply(f.bytes);
  for (Step& s : c.steps) {
    apply(s.text);
    apply(s.fixture.bytes);
  }
  for (Check& check : c.checks) apply(check.pattern);
  return c;
}

// A case file is UTF-8, and so are the paths it names, on every platform.
fs::path Utf8Path(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

bool Put(const fs::path& root, const Fixture& fixture, std::string* error) {
  const fs::path path = root / Utf8Path(fixture.path);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (fs::is_directory(path)) fs::remove_all(path, ec);
  if (fixture.folder) {
    fs::remove(path, ec);
    fs::create_directories(path, ec);
    if (!ec) return true;
  } else {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << fixture.bytes;
    if (out.flush()) return true;
  }
  *error = "cannot write " + path.string();
  return false;
}

std::string Where(const Case& c, int line) { return c.path + ":" + std::to_string(line) + ": "; }

// The files a case puts below the user's roaming application data folder
// (where the simulators keep their settings on Windows), which no run owns:
// one that is there already is left alone and the case fails; each file and
// every folder made for it go when the run ends.
class AppDataFiles {
 public:
  bool Put(const std::vector<Fixture>& files, std::string* error) {
    if (files.empty()) return true;
    const char* root = std::getenv("APPDATA");
    if (!kWindows || root == nullptr || *root == 0) {
      *error = "APPDATA-FILE needs Windows and its APPDATA folder";
      return false;
    }
    for (const Fixture& f : files) {
      const fs::path path = (fs::path(root) / Utf8Path(f.path)).make_preferred();
      std::error_code ec;
      if (fs::exists(path, ec)) {
        *error = path.string() + " is there already; it is not the test's to replace";
        return false;
      }
      for (fs::path folder = path.parent_path(); !fs::exists(folder, ec); folder = folder.parent_path())
        made_.push_back(folder);
      fs::create_directories(path.parent_path(), ec);
      puts_.push_back(path);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out << f.bytes;
      if (!out.flush()) {
        *error = "cannot write " + path.string();
        return false;
      }
    }
    return true;
  }
  ~AppDataFiles() {
    std::error_code ignored;
    for (const fs::path& path : puts_) fs::remove(path, ignored);
    for (const fs::path& folder : made_) fs::remove(folder, ignored);  // the deepest first
  }

 private:
  std::vector<fs::path> puts_, made_;
};

// Waits until the unit's reports file holds a report that is exactly
// `report` (as ShortReport writes it); false after `limit`.
bool WaitForReport(const fs::path& reports, const std::string& report, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    for (const std::string& line : ReadLines(reports)) {
      if (ShortReport(line) == report) return true;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

// Waits until the named marker is held (`held`) or absent, as another
// program that looks for it would see it; false after `limit`.
bool WaitForMarker(const std::string& name, bool held, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const platform::MarkerHandle marker = platform::OpenMarkerIfExists(name);
    const bool there = marker != platform::kNoMarker;
    if (there) platform::CloseMarker(marker);
    if (there == held) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

}  // namespace

Outcome RunCase(const Case& original, const Programs& programs) {
  Outcome outcome;
  const std::string unique = testsupport::UniquePipeName();
  const fs::path work = fs::temp_directory_path() / ("nimbra-e2e-" + fs::path(original.path).stem().string() + "-" +
                                                     unique.substr(unique.find('-', 7) + 1));
  const fs::path bin = work / "bin";
  fs::create_directories(bin);
  outcome.work = work.string();
  outcome.resolved = Resolve(original, WindowsPath(work), work.string());
  const Case& c = outcome.resolved;
  auto problem = [&](int line, const std::string& why) { outcome.problems.push_back(Where(c, line) + why); };

  std::string error;
  bool ownConfig = false;
  for (const Fixture& f : c.files) {
    if (!Put(work, f, &error)) problem(0, error);
    ownConfig = ownConfig || f.path == "bin/SimConnect.cfg";
  }

  AppDataFiles appData;
  if (!appData.Put(c.appDataFiles, &error)) problem(0, error);

  // Locks against other test runs, for the whole run.
  std::unique_ptr<testsupport::MarkersLock> markersLock;
  std::unique_ptr<testsupport::DefaultPipeLock> pipeLock;
  for (const std::string& lock : c.locks) {
    if (lock == "markers") markersLock = std::make_unique<testsupport::MarkersLock>();
  }
  if (c.transport == "default-pipe") pipeLock = std::make_unique<testsupport::DefaultPipeLock>();

  // simhost, on an endpoint of this run's own unless the case is about the default one.
  Transcript transcript;
  LineSink displaySink(transcript);
  std::ostream display(&displaySink);
  std::unique_ptr<simhost::SimHost> host;
  if (c.transport != "none") {
    simhost::Options options;
    options.display = &display;
    options.quiet = true;
    options.valuePeriod = 50ms;
    options.pipe = c.transport != "tcp";
    if (c.transport == "pipe") options.pipeName = unique;
    if (c.transport == "tcp") options.tcp4Port = 0;
    simhost::Arguments arguments{options, "", false};
    if (!simhost::ParseArguments(c.simhostArguments, &arguments, &error)) problem(0, error);
    host = std::make_unique<simhost::SimHost>(arguments.options);
    if (pipeLock) {
      pipeLock->Start(*host);
    } else {
      host->Start();
    }
    if (!ownConfig && c.transport != "default-pipe") {
      std::ofstream cfg(bin / "SimConnect.cfg");
      if (c.transport == "tcp") {
        cfg << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << host->Tcp4Port() << "\n";
      } else {
        cfg << "[SimConnect]\nProtocol=Pipe\nPort=" << unique << "\n";
      }
    }
  }

  // The environment of the bridge and of RUN's tools: the unit in place of
  // hidapi where it is preloaded, its log and reports in the work folder.
  const bool testBuild = c.bridge != "product";
  std::vector<std::string> environment = {"HOME=" + work.string(), "VIRTUAL_UNIT_LOG=" + (work / "unit.log").string(),
                                          "VIRTUAL_UNIT_REPORTS=" + (work / "unit.reports").string()};
  if (testBuild && !kWindows && !programs.unit.empty()) environment.push_back("LD_PRELOAD=" + programs.unit);
  if (testBuild && kWindows) environment.push_back("NIMBRA_TEST_BOXES=" + (work / "boxes").string());
  // The bridge's own log, in the work folder too (the BRIDGELOG stream).
  const fs::path logFile = kWindows ? work / "localappdata" / "Nimbra Bridge" / "Nimbra_Bridge.log"
                                    : work / "state" / "nimbra-bridge" / "bridge.log";
  environment.push_back(kWindows ? "LOCALAPPDATA=" + (work / "localappdata").string()
                                 : "XDG_STATE_HOME=" + (work / "state").string());
  environment.insert(environment.end(), c.environment.begin(), c.environment.end());

  // The tools beside the bridge, started first from the bridge's folder (its
  // SimConnect.cfg), each connected before the next; their output goes to
  // RUN at the end.
  std::vector<std::unique_ptr<child::ChildProcess>> besideTools;
  for (std::size_t i = 0; i < c.beside.size(); ++i) {
    child::Launch launch;
    if (!ToolLaunch(c.beside[i], programs, &launch, &error)) {
      problem(0, error);
      continue;
    }
    launch.folder = bin.string();
    launch.environment = environment;
    launch.outFile = launch.errFile = (work / ("beside" + std::to_string(i) + ".out")).string();
    auto process = std::make_unique<child::ChildProcess>();
    if (!process->Start(launch, &error)) {
      problem(0, error);
      continue;
    }
    besideTools.push_back(std::move(process));
    if (host && !host->WaitForConnections(besideTools.size(), 20s))
      problem(0, "BESIDE: " + simhost::SplitWords(c.beside[i]).front() + " did not connect within 20 s");
  }

  // The bridge: a copy beside its GLOBAL profile, unless it runs in place.
  child::ChildProcess bridge;
  if (c.bridge != "none") {
    const std::string source = testBuild ? programs.bridge : programs.product;
    child::Launch launch;
    launch.executable = programs.inPlace ? source : (bin / fs::path(source).filename()).string();
    if (!programs.inPlace) fs::copy_file(source, launch.executable, fs::copy_options::overwrite_existing);
    launch.folder = bin.string();
    launch.outFile = (work / "bridge.out").string();
    launch.errFile = (work / "bridge.err").string();
    launch.environment = environment;
    if (!bridge.Start(launch, &error)) problem(0, error);
  }

  // The steps.
  LineSink commandSink(transcript);
  std::ostream answers(&commandSink);
  std::unique_ptr<simhost::CommandRunner> commands;
  if (host) commands = std::make_unique<simhost::CommandRunner>(*host, answers);
  std::vector<std::string> run, markers;
  for (const Step& step : c.steps) {
    switch (step.kind) {
      case Step::Kind::Host:
      case Step::Kind::HostTry: {
        if (!commands) {
          problem(step.line, "no simhost with TRANSPORT: none");
          break;
        }
        const auto result = commands->Execute(step.text, &error);
        answers.flush();
        // HOST-TRY lets a command fail (nothing connected, a wait that ends
        // unmet), never a malformed one.
        const bool malformed = error.rfind("usage:", 0) == 0 || error.rfind("unknown command", 0) == 0;
        if (result == simhost::CommandRunner::Result::Failed && (step.kind == Step::Kind::Host || malformed))
          problem(step.line, "the host command failed: " + error);
        break;
      }
      case Step::Kind::Run: {
        child::Launch toolLaunch;
        if (!ToolLaunch(step.text, programs, &toolLaunch, &error)) {
          problem(step.line, error);
          break;
        }
        toolLaunch.folder = work.string();  // where the case's files are, away from the bridge's
        toolLaunch.environment = environment;
        toolLaunch.outFile = toolLaunch.errFile = (work / "run.out").string();
        child::ChildProcess process;
        if (!process.Start(toolLaunch, &error)) {
          problem(step.line, error);
          break;
        }
        const auto status = process.Wait(120s);
        run.push_back("$ " + step.text);
        for (const std::string& line : ReadLines(work / "run.out")) run.push_back(line);
        run.push_back(status ? "exit status " + std::to_string(*status) : "still running after 120 s");
        break;
      }
      case Step::Kind::Write:
        if (!Put(work, step.fixture, &error)) problem(step.line, error);
        break;
      case Step::Kind::HoldMarker: {
        const platform::MarkerHandle marker = platform::CreateOrOpenMarker(step.text);
        if (marker == platform::kNoMarker) problem(step.line, "cannot create the marker " + step.text);
        std::this_thread::sleep_for(step.span);  // another program holding it this long is the point
        platform::CloseMarker(marker);
        break;
      }
      case Step::Kind::ProbeMarker: {
        const platform::MarkerHandle marker = platform::OpenMarkerIfExists(step.text);
        markers.push_back(step.text + (marker != platform::kNoMarker ? " held" : " absent"));
        if (marker != platform::kNoMarker) platform::CloseMarker(marker);
        break;
      }
      case Step::Kind::WaitMarker:
        if (!WaitForMarker(step.text, step.held, step.span))
          problem(step.line, "the marker " + step.text + " was not " + (step.held ? "held" : "absent") + " within " +
                                 std::to_string(step.span.count()) + " ms");
        break;
      case Step::Kind::WaitExit: {
        const auto limit = step.span.count() > 0 ? step.span : c.exitLimit;
        if (bridge.Running()) outcome.exitStatus = bridge.Wait(limit);
        if (!outcome.exitStatus) {
          problem(step.line, "the bridge still ran after " + std::to_string(limit.count()) + " ms");
          bridge.Kill();
        }
        break;
      }
      case Step::Kind::Signal:
        if (!bridge.Signal(step.text, &error)) problem(step.line, error);
        break;
      case Step::Kind::Icon:
        // The bridge's icon window may not be made yet: it is looked for a while.
        if (!platform::PostTrayCommand(static_cast<unsigned>(std::stoul(step.text)), 10000, bridge.pid()))
          problem(step.line, "no icon window of the bridge took the command " + step.text);
        break;
      case Step::Kind::WaitReport:
        if (!WaitForReport(work / "unit.reports", step.text, step.span))
          problem(step.line, "the unit got no report " + step.text + " within " + std::to_string(step.span.count()) + " ms");
        break;
    }
  }

  // The tools beside it end with the steps.
  for (std::size_t i = 0; i < besideTools.size(); ++i) {
    besideTools[i]->Kill();
    run.push_back("$ " + c.beside[i] + " (beside the bridge)");
    for (const std::string& line : ReadLines(work / ("beside" + std::to_string(i) + ".out"))) run.push_back(line);
  }

  // The end of the link: the bridge then has EXIT-LIMIT to end.
  if (bridge.Running()) {
    if (host) host->CloseClient();
    outcome.exitStatus = bridge.Wait(c.exitLimit);
    if (!outcome.exitStatus) bridge.Kill();
  }
  if (host) host->Stop();

  outcome.streams["HOST"] = transcript.Lines();
  outcome.streams["OUT"] = ReadLines(work / "bridge.out");
  outcome.streams["ERR"] = ReadLines(work / (kWindows && testBuild ? "boxes" : "bridge.err"));
  outcome.streams["LOG"] = ReadLines(work / "unit.log");
  for (const std::string& line : ReadLines(work / "unit.reports")) outcome.streams["REPORTS"].push_back(ShortReport(line));
  outcome.streams["REPORTS"];
  outcome.streams["RUN"] = run;
  outcome.streams["MARKERS"] = markers;
  outcome.streams["BRIDGELOG"] = ReadLines(logFile);
  return outcome;
}

void RemoveWork(const std::string& work) {
  std::error_code ignored;
  fs::remove_all(work, ignored);
}

}  // namespace e2e
