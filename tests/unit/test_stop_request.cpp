// A stop signal sets the flag the dispatch loop reads and does not end the
// process by itself; a stop asked on another thread (a console handler, the
// tray icon) reaches a loop waiting on the flag. Each case in a process of
// its own, as the flag never clears.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/stop_request.h"

#ifndef _WIN32
#include <csignal>
#endif

namespace {

TEST(StopRequest, AskedOnAnotherThreadEndsALoopWaitingOnTheFlag) {
  EXPECT_EXIT(
      {
        const bool before = platform::StopRequested();
        std::thread asker([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          platform::RequestStop();
        });
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!platform::StopRequested() && std::chrono::steady_clock::now() < give_up) {
        }
        asker.join();
        std::_Exit(!before && platform::StopRequested() ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

#ifndef _WIN32
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
#endif

}  // namespace
