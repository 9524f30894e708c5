// simhost's flood, taken by the real link: every request's values arrive
// whole and in full, the ticks run meanwhile, the host's counters match what
// the client received, and the flood ends on off (by call and by command).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "commands.h"
#include "support/link_session.h"
#include "support/own_pipe.h"

using namespace testsupport;

namespace {

struct Tally {
  std::map<std::uint32_t, std::size_t> valuesByRequest;
  std::size_t values = 0, ticks6Hz = 0, wrong = 0;
  std::int32_t lastGear = -1;
  double lastSpeed = -1;

  static void Count(SIMCONNECT_RECV* data, DWORD size, void* context) {
    auto* self = static_cast<Tally*>(context);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    if (data->dwID == SIMCONNECT_RECV_ID_EVENT && size >= 24) {
      if (simhost::ReadU32(bytes + 16) == 2) ++self->ticks6Hz;
      return;
    }
    if (data->dwID != SIMCONNECT_RECV_ID_SIMOBJECT_DATA) return;
    ++self->values;
    const std::uint32_t request = simhost::ReadU32(bytes + 12);
    ++self->valuesByRequest[request];
    if (request == 1 && size == 44) {
      std::memcpy(&self->lastGear, bytes + 40, 4);
    } else if (request == 2 && size == 48) {
      std::memcpy(&self->lastSpeed, bytes + 40, 8);
    } else {
      ++self->wrong;
    }
  }
};

class SimHostFlood : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Start();
    ASSERT_EQ(SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
    SimConnect_SubscribeToSystemEvent(handle, 2, "6Hz");
    host.SetValue("GEAR HANDLE POSITION", "Bool", 1);
    host.SetValue("AIRSPEED INDICATED", "Knots", 120.5);
    SimConnect_AddToDataDefinition(handle, 1, "GEAR HANDLE POSITION", "Bool", SIMCONNECT_DATATYPE_INT32, 0, 0);
    SimConnect_AddToDataDefinition(handle, 2, "AIRSPEED INDICATED", "Knots", SIMCONNECT_DATATYPE_FLOAT64, 0, 0);
    for (DWORD id : {1u, 2u})
      SimConnect_RequestDataOnSimObject(handle, id, id, 0, SIMCONNECT_PERIOD_SECOND,
                                        SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0);
    ASSERT_TRUE(host.WaitForMessages(6, 3s));
  }
  void TearDown() override {
    if (handle != nullptr) SimConnect_Close(handle);
    host.Stop();
  }
  // Dispatches into the tally every 10 ms until `done` holds; false on timeout.
  bool Dispatch(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (SimConnect_CallDispatch(handle, &Tally::Count, &tally) == S_OK && !done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(10ms);
    }
    return done();
  }
  // After off: dispatches until the batch in writing at off has gone (it
  // completes only as the client reads on) and everything written has
  // arrived: the flood's count plus the first value of each request, which
  // goes out on the request itself. Returns the counters then.
  simhost::FloodCounters Settle() {
    simhost::FloodCounters flood;
    const bool settled = Dispatch([&] {
      flood = host.Flood();
      return !flood.writing && tally.values >= flood.valueMessages + 2;
    });
    EXPECT_TRUE(settled) << tally.values << " received, " << flood.valueMessages << " flooded";
    EXPECT_EQ(tally.values, flood.valueMessages + 2) << "values that were not flooded";
    return flood;
  }

  OwnPipe pipe;
  simhost::SimHost host{pipe.HostOptions()};
  HANDLE handle = nullptr;
  Tally tally;
};

TEST_F(SimHostFlood, EveryRequestsValuesArriveWholeWithTheTicksUntilOff) {
  host.SetFlood(true);
  EXPECT_TRUE(host.Flood().on);
  Dispatch([&] { return tally.values >= 50000 && tally.ticks6Hz >= 2; });
  EXPECT_GE(tally.values, 50000u);
  EXPECT_GE(tally.ticks6Hz, 2u) << "the ticks run during the flood";
  host.SetFlood(false);
  EXPECT_FALSE(host.Flood().on);

  // A batch still in writing at off completes; after it nothing more is written.
  const simhost::FloodCounters stopped = Settle();
  std::this_thread::sleep_for(300ms);
  SimConnect_CallDispatch(handle, &Tally::Count, &tally);
  EXPECT_EQ(host.Flood().valueMessages, stopped.valueMessages);
  EXPECT_EQ(tally.values, stopped.valueMessages + 2) << "values after off";

  EXPECT_EQ(tally.wrong, 0u) << "a value with a wrong request id or size";
  EXPECT_EQ(tally.valuesByRequest[1], tally.valuesByRequest[2]) << "every batch holds each request";
  EXPECT_EQ(tally.lastGear, 1);
  EXPECT_EQ(tally.lastSpeed, 120.5);
  EXPECT_GT(stopped.batches, 0u);
  EXPECT_EQ(stopped.bytes, stopped.valueMessages / 2 * (44 + 48));
  EXPECT_EQ(host.Requests().size(), 2u);
}

TEST_F(SimHostFlood, TheCommandTurnsItOnAndOffAndShowsTheCounters) {
  std::ostringstream out;
  simhost::CommandRunner runner(host, out);
  std::string error;
  using R = simhost::CommandRunner::Result;
  for (const char* bad : {"flood", "flood maybe", "flood on off"}) EXPECT_EQ(runner.Execute(bad, &error), R::Failed) << bad;
  EXPECT_FALSE(host.Flood().on);

  ASSERT_EQ(runner.Execute("flood on", &error), R::Ok) << error;
  EXPECT_TRUE(Dispatch([&] { return tally.values >= 1000; }));
  ASSERT_EQ(runner.Execute("flood off", &error), R::Ok) << error;
  const simhost::FloodCounters stopped = Settle();
  ASSERT_EQ(runner.Execute("show flood", &error), R::Ok) << error;
  EXPECT_EQ(out.str(), "flood: off, " + std::to_string(stopped.valueMessages) + " value messages, " +
                           std::to_string(stopped.bytes) + " bytes written\n");
}

}  // namespace
