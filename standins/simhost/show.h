// What the show command prints: the host's state for one client in lines a
// person reads (menu, subscriptions, definitions, requests, texts, messages,
// refused messages, flood counters).
#pragma once

#include <string>

#include "sim_host.h"

namespace simhost {

// The lines for `what` ("menu", "subscriptions", ...); empty for an unknown word.
std::string ShowState(const SimHost& host, const std::string& what);

}  // namespace simhost
