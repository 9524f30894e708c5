// A stop signal sets the flag the dispatch loop reads and does not end the
// process by itself. Each signal in a process of its own.
#include <gtest/gtest.h>

#include "platform/stop_request.h"

#ifndef _WIN32
#include <csignal>
#include <cstdlib>

namespace {

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, SetsTheFlagAndLeavesTheProcessRunning) {
  EXPECT_EXIT(
      {
        platform::WatchStopRequests();
        const bool before = platform::StopRequested();
        std::raise(GetParam());
        std::_Exit(!before && platform::StopRequested() ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

}  // namespace
#endif
