// What the benchmarks that talk to simhost share.
#pragma once

#include <string>
#include <system_error>

#include <benchmark/benchmark.h>

#include "support/own_pipe.h"
#include "app/process_state.h"
#include "sim_host.h"
#include "simlink/simconnect.h"

namespace benchsupport {

// The LEDs of a full profile, the text of its "LEDs" array: the gate on
// MASTER, and LED n at byte 1 + n / 8, bit n % 8, holding when TOGGLE is 1
// and three more conditions on shared variables hold as well; blinking at
// the six rates in turn when asked.
inline std::string FullProfileLeds(bool blinking) {
  static const char* const kRates[] = {"3", "1.5", "1", "0.75", "0.6", "0.5"};
  std::string leds = "{\"ByteIndex\": 0, \"BitIndex\": 0, \"Condition\": \"A:MASTER,Bool\", \"ConditionValue\": true}";
  for (int led = 0; led < 28; ++led) {
    leds += ", {\"ByteIndex\": " + std::to_string(1 + led / 8) + ", \"BitIndex\": " + std::to_string(led % 8) +
            ", \"en\": \"LED " + std::to_string(led) + "\", " +
            (blinking ? std::string("\"Blink\": ") + kRates[led % 6] + ", " : std::string()) + "\"Conditions\": [" +
            "{\"Condition\": \"A:TOGGLE,Bool\", \"ConditionValue\": true}, " +
            "{\"Condition\": \"A:VALUE " + std::to_string(led % 12) + ",percent\", \"ConditionValue\": \">=0\"}, " +
            "{\"Condition\": \"A:VALUE " + std::to_string((led + 5) % 12) + ",percent\", \"ConditionValue\": \"<100\"}, " +
            "{\"Condition\": \"A:STATE " + std::to_string(led % 6) + ",Bool\", \"ConditionValue\": \"!=1\"}]}";
  }
  return leds;
}

// simhost's options for a benchmark on `pipe`: the profiles' placeholder
// names register, since the load is the point and not the names.
inline simhost::Options HostOptions(const testsupport::OwnPipe& pipe) {
  simhost::Options options = pipe.HostOptions();
  options.knownNamesOnly = false;
  return options;
}

// A dispatch routine for draining the link's queue.
inline void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// Starts `host`, made with the HostOptions() of an OwnPipe that lives until
// the link is open, and opens the link to it as the process-wide connection.
// On failure the benchmark is skipped with the reason and false comes back.
inline bool OpenLink(benchmark::State& state, simhost::SimHost& host) {
  try {
    host.Start();
  } catch (const std::system_error& e) {
    state.SkipWithError(e.what());
    return false;
  }
  HANDLE handle = nullptr;
  if (SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0) != S_OK) {
    state.SkipWithError("the link did not open");
    return false;
  }
  simHandle = handle;
  return true;
}

}  // namespace benchsupport
