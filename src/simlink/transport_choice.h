// Chooses how to reach the simulator for one open and connects it.
#pragma once

#include <cstdint>

#include "simlink/client_client.h"

namespace simlink {

enum class ChooseResult {
  Connected,  // *out holds a connected connection object (one reference)
  NoSection,  // the configuration index names a section no file holds
  Failed,     // nothing connected; every object made on the way was closed
};

ChooseResult ChooseAndConnect(std::uint32_t configIndex, ClientClient** out);

}  // namespace simlink
