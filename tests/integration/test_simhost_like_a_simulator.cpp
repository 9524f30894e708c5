// simhost where a real simulator's behaviour shows to a client, over the real
// link: a client may leave a starting simulator before its answers are due, a
// full one closes new connections, and a system-state request is answered
// with the client's own request identifier. (That a starting simulator holds
// every answer and loses none is the bridge's end-to-end case.)
#include <gtest/gtest.h>

#include "support/own_pipe.h"

using namespace testsupport;

namespace {

bool Got(const Received& received, std::uint32_t id) {
  for (std::size_t i = 0; i < received.messages.size(); ++i)
    if (received.Id(i) == id) return true;
  return false;
}

const SIMCONNECT_RECV_SYSTEM_STATE* StateAnswer(const Received& received) {
  for (std::size_t i = 0; i < received.messages.size(); ++i) {
    if (received.Id(i) == SIMCONNECT_RECV_ID_SYSTEM_STATE && received.messages[i].size() == 284)
      return reinterpret_cast<const SIMCONNECT_RECV_SYSTEM_STATE*>(received.messages[i].data());
  }
  return nullptr;
}

TEST(SimHostLikeASimulator, AClientThatLeavesDuringTheDelayLeavesNothingBehind) {
  OwnPipe pipe;
  simhost::Options options = pipe.HostOptions();
  options.openDelay = 2000ms;
  simhost::SimHost host(options);
  host.Start();
  HANDLE first = nullptr;
  ASSERT_EQ(SimConnect_Open(&first, "first", nullptr, 0, nullptr, 0), S_OK);
  ASSERT_TRUE(host.WaitForMessages(1, 3s));
  SimConnect_Close(first);
  EXPECT_TRUE(host.WaitForDisconnect(1500ms)) << "gone before its answers were due";
  // The next client is served as usual, after its own delay.
  HANDLE second = nullptr;
  ASSERT_EQ(SimConnect_Open(&second, "second", nullptr, 0, nullptr, 0), S_OK);
  Received received;
  DispatchUntil(second, received, [&] { return Got(received, SIMCONNECT_RECV_ID_OPEN); }, 5s);
  EXPECT_TRUE(Got(received, SIMCONNECT_RECV_ID_OPEN));
  EXPECT_EQ(host.ConnectionCount(), 2u);
  SimConnect_Close(second);
  host.Stop();
  EXPECT_TRUE(WaitForNoConnections());
}

TEST(SimHostLikeASimulator, AFullSimulatorKeepsItsClientAndHasRoomOnceItLeaves) {
  OwnPipe pipe;
  simhost::Options options = pipe.HostOptions();
  options.severalClients = true;
  options.maxClients = 1;
  simhost::SimHost host(options);
  host.Start();
  HANDLE first = nullptr, second = nullptr;
  ASSERT_EQ(SimConnect_Open(&first, "first", nullptr, 0, nullptr, 0), S_OK);
  ASSERT_TRUE(host.WaitForClient(3s));
  // A second client is refused (the bridge's end-to-end case shows how).
  if (SimConnect_Open(&second, "second", nullptr, 0, nullptr, 0) == S_OK) SimConnect_Close(second);
  Received firstReceived;
  DispatchUntil(first, firstReceived, [&] { return Got(firstReceived, SIMCONNECT_RECV_ID_OPEN); });
  EXPECT_TRUE(Got(firstReceived, SIMCONNECT_RECV_ID_OPEN)) << "the client already served goes on";
  // Once it leaves, there is room again.
  SimConnect_Close(first);
  ASSERT_TRUE(host.WaitForDisconnect(3s));
  HANDLE third = nullptr;
  ASSERT_EQ(SimConnect_Open(&third, "third", nullptr, 0, nullptr, 0), S_OK);
  Received thirdReceived;
  DispatchUntil(third, thirdReceived, [&] { return Got(thirdReceived, SIMCONNECT_RECV_ID_OPEN); });
  EXPECT_TRUE(Got(thirdReceived, SIMCONNECT_RECV_ID_OPEN));
  SimConnect_Close(third);
  host.Stop();
  EXPECT_TRUE(WaitForNoConnections());
}

TEST(SimHostLikeASimulator, ASystemStateRequestIsAnsweredWithTheClientsOwnRequestId) {
  OwnPipe pipe;
  simhost::SimHost host(pipe.HostOptions());
  host.Start();
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "client", nullptr, 0, nullptr, 0), S_OK);
  // Asked before the aircraft is known: the answer waits for it.
  ASSERT_EQ(SimConnect_RequestSystemState(handle, 4242, "AircraftLoaded"), S_OK);
  ASSERT_TRUE(host.WaitForMessages(2, 3s));
  EXPECT_EQ(host.SetSystemState(simhost::StateName::AircraftLoaded, "C:\\Planes\\Jet\\aircraft.cfg"), 1u);
  Received received;
  DispatchUntil(handle, received, [&] { return StateAnswer(received) != nullptr; });
  const SIMCONNECT_RECV_SYSTEM_STATE* answer = StateAnswer(received);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer->dwRequestID, 4242u);
  EXPECT_STREQ(answer->szString, "C:\\Planes\\Jet\\aircraft.cfg");
  // Asked again, with another id: answered at once, with that id.
  ASSERT_EQ(SimConnect_RequestSystemState(handle, 7, "aircraftloaded"), S_OK);
  Received again;
  DispatchUntil(handle, again, [&] { return StateAnswer(again) != nullptr; });
  ASSERT_NE(StateAnswer(again), nullptr);
  EXPECT_EQ(StateAnswer(again)->dwRequestID, 7u);
  SimConnect_Close(handle);
  host.Stop();
  EXPECT_TRUE(WaitForNoConnections());
}

}  // namespace
