// What the simulator says of itself when a client asks with
// RequestSystemState: the loaded aircraft's file, whether the simulation
// runs, whether a dialog is open, and the loaded flight's file. simhost knows
// the aircraft and the flight only once a command has named them; until then
// a request for them waits, as it would while a simulator is still loading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol.h"

namespace simhost {

enum class StateName { AircraftLoaded, Sim, DialogMode, FlightLoaded };

struct SystemState {
  std::optional<std::string> aircraft;  // as the simulator reports it
  std::uint32_t sim = 0;                // 1 while the simulation runs
  std::uint32_t dialogMode = 0;
  std::optional<std::string> flight;
};

// "AircraftLoaded", "Sim", "DialogMode", "FlightLoaded", without regard to
// case or blanks around them, as the simulator reads them.
std::optional<StateName> ParseStateName(const std::string& text);

// Sets one state from a command's text: a path, or a number for Sim and
// DialogMode; false for a number that does not read.
bool SetState(SystemState& state, StateName name, const std::string& text);

// The SYSTEM_STATE answer to request `requestId`, or nullopt while the state
// is not known.
std::optional<Bytes> AnswerState(const SystemState& state, StateName name, std::uint32_t requestId);

}  // namespace simhost
