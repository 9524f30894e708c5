// Which value messages are due for one client at a given time. The value pump
// and the flood both ask this one function, so they agree on which requests
// serve values: those with a periodic or ONCE period whose definition holds
// at least one datum.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session.h"

namespace simhost {

struct DueValue {
  std::uint32_t requestId = 0;
  Bytes message;               // the SIMOBJECT_DATA message with the current values
  std::vector<double> values;  // the values it carries
};

struct Due {
  std::vector<DueValue> values;                // in request id order
  std::optional<Clock::time_point> next;       // when one that waits is due
};

// Paced (`pace` set, the value pump): a request is due right after it was
// made, then when its values changed (every time without the CHANGED flag),
// at most once per `pace`; a ONCE request only the first time. Unpaced (the
// flood): every request that serves values is due, whatever it sent before.
Due ValuesDue(const Session& session, const ValueStore& values, Clock::time_point now, std::optional<Millis> pace);

// Whether a request that serves values has sent the client the variable
// `name` (without regard to case) with the value it holds now: what the
// client knows of it is up to date, so whatever the host sends next reaches
// the client after that value.
bool CurrentValueSent(const Session& session, const ValueStore& values, const std::string& name);

}  // namespace simhost
