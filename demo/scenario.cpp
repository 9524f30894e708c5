// Running a scenario: each line is the demo's own or goes to simhost's
// command runner, whose answers are not shown.
#include "scenario.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "commands.h"

namespace demo {

namespace {

// "3/0" as byte 3, bit 0; (-1, -1) when it is not of that form.
Position ParsePosition(const std::string& word) {
  int byte = -1, bit = -1;
  char slash = 0;
  std::istringstream(word) >> byte >> slash >> bit;
  return slash == '/' ? Position(byte, bit) : Position(-1, -1);
}

}  // namespace

bool ReadScenario(const std::string& file, std::vector<std::string>* lines, std::string* error) {
  std::ifstream in(file);
  if (!in) {
    *error = "cannot read the scenario " + file;
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
  }
  return true;
}

Scenario::Scenario(simhost::SimHost& host, UnitView& unit, std::vector<std::string> lines, std::string aircraftFolder)
    : host_(host), unit_(unit), lines_(std::move(lines)), aircraftFolder_(std::move(aircraftFolder)) {}

Scenario::~Scenario() { Join(); }

void Scenario::Start() {
  start_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { Run(); });
}

void Scenario::Join() {
  if (thread_.joinable()) thread_.join();
}

bool Scenario::Finished() const {
  std::lock_guard<std::mutex> guard(lock_);
  return finished_;
}

double Scenario::Clock() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string Scenario::Now() const {
  std::lock_guard<std::mutex> guard(lock_);
  return now_;
}

std::vector<Event> Scenario::EventsFrom(std::size_t from) const {
  std::lock_guard<std::mutex> guard(lock_);
  return from < events_.size() ? std::vector<Event>(events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end())
                               : std::vector<Event>();
}

std::size_t Scenario::Met() const {
  std::lock_guard<std::mutex> guard(lock_);
  return met_;
}

std::size_t Scenario::Missed() const {
  std::lock_guard<std::mutex> guard(lock_);
  return missed_;
}

std::size_t Scenario::Failures() const {
  std::lock_guard<std::mutex> guard(lock_);
  return failures_;
}

void Scenario::Note(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  events_.push_back({Clock(), text});
}

void Scenario::Run() {
  std::ostringstream answers;  // of show and help: not part of the demo's screen
  simhost::CommandRunner runner(host_, answers);
  for (std::string line : lines_) {
    for (std::size_t at = line.find("${AIRCRAFT}"); at != std::string::npos; at = line.find("${AIRCRAFT}")) {
      line.replace(at, 11, aircraftFolder_);
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (line.compare(first, 4, "say ") == 0) {
      {
        std::lock_guard<std::mutex> guard(lock_);
        now_ = line.substr(first + 4);
      }
      Note(line.substr(first + 4));
      continue;
    }
    if (line.compare(first, 7, "expect ") == 0) {
      Expect(line.substr(first + 7));
      continue;
    }
    std::string error;
    const auto result = runner.Execute(line, &error);
    if (result == simhost::CommandRunner::Result::Exit) break;
    if (result == simhost::CommandRunner::Result::Failed) {
      Note("scenario: " + line + ": " + error);
      std::lock_guard<std::mutex> guard(lock_);
      ++failures_;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  finished_ = true;
}

// "on 1/0 4/3" or "off 2/0": each position lit, or dark, now.
// "blinking 3/0": lit and dark in turn over the next two seconds, at least
// twice each (a flash of 0.5 Hz or faster).
void Scenario::Expect(const std::string& line) {
  std::istringstream words(line);
  std::string state;
  words >> state;
  if (state == "message") {
    std::string text;
    std::getline(words >> std::ws, text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    const bool ok = !text.empty() && messages_ && messages_().find(text) != std::string::npos;
    Note(std::string(ok ? "as expected: the bridge said " : "NOT AS EXPECTED: the bridge did not say ") + text);
    std::lock_guard<std::mutex> guard(lock_);
    ++(ok ? met_ : missed_);
    return;
  }
  const bool on = state == "on";
  const bool blinking = state == "blinking";
  if (!on && !blinking && state != "off") {
    Note("scenario: expect needs on, off, blinking or message: " + line);
    std::lock_guard<std::mutex> guard(lock_);
    ++failures_;
    return;
  }
  std::vector<std::string> positions;
  for (std::string word; words >> word;) positions.push_back(word);
  unit_.Poll();
  std::map<std::string, std::size_t> changesBefore;
  if (blinking) {
    for (const std::string& word : positions) changesBefore[word] = unit_.Changes(ParsePosition(word));
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      unit_.Poll();
    }
  }
  const std::vector<Position> unitPositions = UnitPositions();
  for (const std::string& word : positions) {
    const Position position = ParsePosition(word);
    const bool onTheUnit = std::find(unitPositions.begin(), unitPositions.end(), position) != unitPositions.end();
    const bool ok = onTheUnit && (blinking ? unit_.Changes(position) - changesBefore[word] >= 4
                                           : unit_.Lit(position) == on);
    const std::string label = unit_.Label(position);
    Note(std::string(ok ? "as expected: " : "NOT AS EXPECTED: ") + word + " " + (label.empty() ? "" : label + " ") +
         state);
    std::lock_guard<std::mutex> guard(lock_);
    ++(ok ? met_ : missed_);
  }
}

}  // namespace demo
