// One end-to-end case as read from its file: where it runs, the files it
// starts with, the steps that drive simhost and the bridge, and the checks on
// what came out. docs/testing.md describes the format.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

// A file the case sets up (before the bridge starts, or at a step).
struct Fixture {
  std::string path;   // relative to the work folder, '/' separated
  std::string bytes;  // its content
  bool folder = false;  // a folder in its place instead
};

struct Step {
  enum class Kind { Host, HostTry, Run, Write, HoldMarker, ProbeMarker, WaitMarker, WaitExit, Signal, WaitReport, Icon };
  Kind kind = Kind::Host;
  std::string text;  // the host command, the tool's command line, the marker's or signal's name, the report
  Fixture fixture;   // of Write
  std::chrono::milliseconds span{0};  // of HoldMarker, WaitMarker and WaitReport; of WaitExit when given
  bool held = false;  // of WaitMarker: wait until the marker is held (else until it is absent)
  int line = 0;
};

struct Check {
  enum class Kind { Match, Next, Not, Count, Empty, Exact, Last };
  std::string stream;  // HOST, ERR, OUT, REPORTS, LOG, RUN, MARKERS, BRIDGELOG
  Kind kind = Kind::Match;
  std::string pattern;
  int count = 0;  // of Count
  int line = 0;
};

struct Case {
  std::string path;
  std::vector<std::string> platforms;  // linux, windows
  std::string transport = "pipe";      // pipe, tcp, default-pipe, none
  std::string bridge = "test";         // test, product, none
  std::vector<std::string> locks;      // markers, default-pipe
  std::vector<std::string> environment;
  std::vector<std::string> simhostArguments;  // SIMHOST: simhost's switches, past the endpoint
  std::vector<std::string> beside;            // BESIDE: tools started before the bridge, each a command line
  std::vector<Fixture> files;
  std::vector<Fixture> appDataFiles;  // below the user's roaming application data folder (Windows)
  std::vector<Step> steps;
  std::vector<Check> checks;
  int exitStatus = 0;  // CHECK-EXIT, 0 when absent
  int exitLine = 0;
  std::chrono::milliseconds exitLimit{30000};
};

// The stream names checks may name, and the check directive for a stream.
const std::vector<std::string>& StreamNames();

// Parses the text of a case file; false with "PATH:LINE: why" in *error.
bool ParseCase(const std::string& text, const std::string& path, Case* out, std::string* error);

}  // namespace e2e
