// Signals a window message and/or an event handle that the link was given at
// open time. Null targets are skipped.
#pragma once

#include <cstdint>

namespace platform {

void NotifyTargets(void* window, std::uint32_t message, void* event);

}  // namespace platform
