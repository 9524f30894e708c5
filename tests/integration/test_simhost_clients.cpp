// simhost serving several clients side by side over the real link: each keeps
// its own subscriptions, data definitions and requests under the same
// identifiers, each gets the values of its own requests and the events it
// subscribed to, and one that leaves does not disturb the other.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/own_pipe.h"

using namespace testsupport;

namespace {

struct Client {
  HANDLE handle = nullptr;
  Received received;

  // The last value message for request 1, as 8 bytes from dwData on.
  bool LastValue(std::uint8_t (&out)[8]) const {
    for (auto m = received.messages.rbegin(); m != received.messages.rend(); ++m) {
      const auto* header = reinterpret_cast<const SIMCONNECT_RECV*>(m->data());
      if (header->dwID != SIMCONNECT_RECV_ID_SIMOBJECT_DATA || m->size() < kSimObjectDataOffset + 4) continue;
      std::memset(out, 0, sizeof out);
      std::memcpy(out, m->data() + kSimObjectDataOffset, std::min<std::size_t>(8, m->size() - kSimObjectDataOffset));
      return true;
    }
    return false;
  }
};

std::int32_t AsInt(const std::uint8_t (&bytes)[8]) {
  std::int32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

double AsDouble(const std::uint8_t (&bytes)[8]) {
  double value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

TEST(SimHostClients, EachClientKeepsItsOwnRegistrationsAndGetsItsOwnValues) {
  OwnPipe pipe;
  simhost::Options options = pipe.HostOptions();
  options.severalClients = true;
  simhost::SimHost host(options);
  host.Start();
  Client bridge, watch;
  ASSERT_EQ(SimConnect_Open(&bridge.handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
  ASSERT_EQ(SimConnect_Open(&watch.handle, "Nimbra_Profile_Watch", nullptr, 0, nullptr, 0), S_OK);
  // The same identifiers on both links, for different variables.
  for (Client* client : {&bridge, &watch}) {
    const bool isBridge = client == &bridge;
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(client->handle, 1, "Sim"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(client->handle, 1, isBridge ? "GEAR HANDLE POSITION" : "FLAPS HANDLE PERCENT",
                                             isBridge ? "Bool" : "Number",
                                             isBridge ? SIMCONNECT_DATATYPE_INT32 : SIMCONNECT_DATATYPE_FLOAT64, 0.0f,
                                             SIMCONNECT_UNUSED),
              S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(client->handle, 1, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND,
                                                SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0),
              S_OK);
  }
  ASSERT_TRUE(host.WaitForMessages(8, 3s));
  EXPECT_EQ(host.ConnectionCount(), 2u);
  std::size_t perConnection[3] = {};
  for (const simhost::ClientMessage& m : host.Messages()) {
    ASSERT_LE(m.connection, 2u);
    ++perConnection[m.connection];
  }
  EXPECT_EQ(perConnection[1], 4u);
  EXPECT_EQ(perConnection[2], 4u);
  ASSERT_EQ(host.Definitions().size(), 1u);
  EXPECT_EQ(host.Definitions().at(1).at(0).name, "FLAPS HANDLE PERCENT") << "the accessors show the latest client";

  host.SetValue("GEAR HANDLE POSITION", "Bool", 1);
  host.SetValue("FLAPS HANDLE PERCENT", "Number", 0.5);
  std::uint8_t value[8];
  DispatchUntil(bridge.handle, bridge.received, [&] { return bridge.LastValue(value) && AsInt(value) == 1; });
  ASSERT_TRUE(bridge.LastValue(value));
  EXPECT_EQ(AsInt(value), 1);
  DispatchUntil(watch.handle, watch.received, [&] { return watch.LastValue(value) && AsDouble(value) == 0.5; });
  ASSERT_TRUE(watch.LastValue(value));
  EXPECT_EQ(AsDouble(value), 0.5);

  EXPECT_EQ(host.SendEvent("Sim", 1), 2u) << "one event to each subscriber";

  // A menu pick goes to the client whose menu holds the item, not to the latest.
  ASSERT_EQ(SimConnect_MenuAddItem(bridge.handle, "Corvane", 6, 0), S_OK);
  ASSERT_TRUE(host.WaitForMessages(9, 3s));
  ASSERT_TRUE(host.SendMenuPick(6));
  auto picked = [](const Client& client) {
    for (const auto& m : client.received.messages) {
      if (reinterpret_cast<const SIMCONNECT_RECV*>(m.data())->dwID == SIMCONNECT_RECV_ID_EVENT &&
          reinterpret_cast<const SIMCONNECT_RECV_EVENT*>(m.data())->uEventID == 6) {
        return true;
      }
    }
    return false;
  };
  DispatchUntil(bridge.handle, bridge.received, [&] { return picked(bridge); });
  EXPECT_TRUE(picked(bridge));
  DispatchUntil(watch.handle, watch.received, [] { return false; }, 200ms);
  EXPECT_FALSE(picked(watch));

  // The bridge leaves; the watch keeps its values.
  EXPECT_EQ(SimConnect_Close(bridge.handle), S_OK);
  host.SetValue("FLAPS HANDLE PERCENT", "Number", 0.75);
  DispatchUntil(watch.handle, watch.received, [&] { return watch.LastValue(value) && AsDouble(value) == 0.75; });
  ASSERT_TRUE(watch.LastValue(value));
  EXPECT_EQ(AsDouble(value), 0.75);
  EXPECT_TRUE(host.ClientConnected());
  EXPECT_EQ(SimConnect_Close(watch.handle), S_OK);
  EXPECT_TRUE(host.WaitForDisconnect(3s));
  host.Stop();
  EXPECT_TRUE(WaitForNoConnections());
}

}  // namespace
