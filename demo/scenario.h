// A demo scenario: simhost's commands, one per line, plus two of the demo's
// own: "say TEXT" tells what the flight is doing now, and
// "expect on|off BYTE/BIT..." checks the unit's LEDs at that moment, and
// "expect blinking BYTE/BIT..." that they flash over the next two seconds.
// "expect message TEXT" that the bridge has shown a message holding TEXT.
// "${AIRCRAFT}" in a line stands for the demo's aircraft folder as the
// simulator reports it (a Windows path).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim_host.h"
#include "unit_view.h"

namespace demo {

struct Event {
  double seconds = 0;  // scenario clock
  std::string text;
};

class Scenario {
 public:
  Scenario(simhost::SimHost& host, UnitView& unit, std::vector<std::string> lines, std::string aircraftFolder);
  ~Scenario();

  // What the bridge has shown so far (its message boxes), for "expect
  // message"; set before Start.
  void SetMessages(std::function<std::string()> messages) { messages_ = std::move(messages); }

  // Runs the lines on a thread of its own.
  void Start();
  bool Finished() const;
  void Join();

  double Clock() const;  // seconds since Start
  std::string Now() const;  // the latest "say"
  // Events since index `from`: says, expectations, command failures.
  std::vector<Event> EventsFrom(std::size_t from) const;
  std::size_t Met() const;
  std::size_t Missed() const;
  std::size_t Failures() const;  // commands that failed

 private:
  void Run();
  void Note(const std::string& text);
  void Expect(const std::string& line);

  simhost::SimHost& host_;
  UnitView& unit_;
  std::vector<std::string> lines_;
  std::string aircraftFolder_;
  std::function<std::string()> messages_;
  std::chrono::steady_clock::time_point start_;
  std::thread thread_;
  mutable std::mutex lock_;
  bool finished_ = false;
  std::string now_;
  std::vector<Event> events_;
  std::size_t met_ = 0, missed_ = 0, failures_ = 0;
};

// The lines of a scenario file; false with a reason when it cannot be read.
bool ReadScenario(const std::string& file, std::vector<std::string>* lines, std::string* error);

}  // namespace demo
