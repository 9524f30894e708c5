// The system states a client can ask for, and their answers.
#include "system_state.h"

#include "platform/ascii_case.h"
#include "words.h"

namespace simhost {
namespace {

struct Named {
  const char* text;
  StateName name;
};

constexpr Named kNames[] = {{"AircraftLoaded", StateName::AircraftLoaded},
                            {"Sim", StateName::Sim},
                            {"DialogMode", StateName::DialogMode},
                            {"FlightLoaded", StateName::FlightLoaded}};

}  // namespace

std::optional<StateName> ParseStateName(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  for (const Named& n : kNames)
    if (platform::EqualNoCase(trimmed, n.text)) return n.name;
  return std::nullopt;
}

bool SetState(SystemState& state, StateName name, const std::string& text) {
  switch (name) {
    case StateName::AircraftLoaded:
      state.aircraft = text;
      return true;
    case StateName::FlightLoaded:
      state.flight = text;
      return true;
    case StateName::Sim:
      return ParseU32(text, &state.sim);
    case StateName::DialogMode:
      return ParseU32(text, &state.dialogMode);
  }
  return false;
}

std::optional<Bytes> AnswerState(const SystemState& state, StateName name, std::uint32_t requestId) {
  switch (name) {
    case StateName::AircraftLoaded:
      if (!state.aircraft) return std::nullopt;
      return BuildSystemState(requestId, 0, 0.0f, *state.aircraft);
    case StateName::FlightLoaded:
      if (!state.flight) return std::nullopt;
      return BuildSystemState(requestId, 0, 0.0f, *state.flight);
    case StateName::Sim:
      return BuildSystemState(requestId, state.sim, 0.0f, "");
    case StateName::DialogMode:
      return BuildSystemState(requestId, state.dialogMode, 0.0f, "");
  }
  return std::nullopt;
}

}  // namespace simhost
