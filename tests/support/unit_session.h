// A device's world for tests: simhost on a pipe of the test's own with the
// real link open to it as the process-wide connection, and virtual_unit with
// the supported unit attached. Everything it touches is put back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "app/process_state.h"
#include "devices/hid_device.h"
#include "devices/supported_unit.h"
#include "support/link_session.h"
#include "support/own_pipe.h"
#include "variables/variable_registry.h"
#include "virtual_unit.h"

namespace testsupport {

class UnitSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(simHandle, nullptr);
    virtual_unit::Reset();
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
    host.Start();
    ASSERT_EQ(SimConnect_Open(&simHandle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_TRUE(host.WaitForMessages(1, 3s));
  }

  void TearDown() override {
    unit.reset();
    devices.clear();
    if (simHandle != nullptr) SimConnect_Close(simHandle);
    simHandle = nullptr;
    host.Stop();
    hidInitialised = false;
    EXPECT_TRUE(variableRegistry.entries().empty()) << "a test left variables registered";
    EXPECT_TRUE(WaitForNoConnections());
  }

  // The supported unit as the bridge makes it, initialised.
  HidDevice& MakeUnit() {
    unit = std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits);
    unit->Initialise();
    return *unit;
  }

  // Loads the bindings of a profile text into the unit.
  void Load(const std::string& json) {
    rapidjson::Document profile;
    profile.Parse(json.c_str());
    ASSERT_FALSE(profile.HasParseError()) << json;
    unit->LoadBindings(profile);
  }

  // Stores a value for a registered variable as a received data message would.
  static void Set(const std::string& reference, double value) {
    const SimVariable* variable = variableRegistry.FindVariable(reference);
    ASSERT_NE(variable, nullptr) << reference;
    std::uint8_t bytes[8];
    if (variable->intValue) {
      const auto integer = static_cast<std::int32_t>(value);
      std::memcpy(bytes, &integer, sizeof integer);
      variableRegistry.StoreValue(static_cast<std::uint32_t>(variable->defineId), bytes, sizeof integer);
    } else {
      std::memcpy(bytes, &value, sizeof value);
      variableRegistry.StoreValue(static_cast<std::uint32_t>(variable->defineId), bytes, sizeof value);
    }
  }

  // Sends a marker message (the delete of a menu entry nobody added) and
  // returns the index just after it once simhost has it. The link keeps the
  // order, so every message sent before the marker has arrived by then.
  std::size_t Mark() {
    EXPECT_GE(SimConnect_MenuDeleteItem(simHandle, kMarkItem), 0);
    DWORD sendId = 0;
    SimConnect_GetLastSentPacketID(simHandle, &sendId);
    for (std::size_t from = 0;;) {
      const auto found = host.WaitForMessage(kMenuDeleteItemType, from, 3s);
      if (!found) {
        ADD_FAILURE() << "the marker did not arrive";
        return host.MessageCount();
      }
      if (host.Messages()[*found].sendId == sendId) return *found + 1;
      from = *found + 1;
    }
  }
  static constexpr DWORD kMarkItem = 0x7FFF;
  static constexpr std::uint32_t kMenuDeleteItemType = 0xF0000032u;
  static constexpr const char* kMarkLine = "MenuDeleteItem: [32767]";

  // The messages simhost received from index `from` on, once `count` of them are there.
  std::vector<simhost::ClientMessage> MessagesFrom(std::size_t from, std::size_t count) {
    EXPECT_TRUE(host.WaitForMessages(from + count, 3s)) << "have " << host.MessageCount();
    auto all = host.Messages();
    if (from > all.size()) from = all.size();
    return std::vector<simhost::ClientMessage>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
  }

  // The same, each as simhost describes it without its send id
  // ("MenuDeleteSubItem: under [6] [9]").
  std::vector<std::string> Described(std::size_t from, std::size_t count) {
    std::vector<std::string> lines;
    for (const auto& message : MessagesFrom(from, count)) {
      std::string line = simhost::Describe(message);
      const std::size_t hash = line.find(" #");
      if (hash != std::string::npos) line.erase(hash, line.find(':', hash) - hash);
      lines.push_back(line);
    }
    return lines;
  }

  OwnPipe pipe;
  simhost::SimHost host{pipe.HostOptions()};
  std::unique_ptr<HidDevice> unit;
};

// One LED entry of a profile, with a Bool condition on `reference`.
inline std::string Entry(const std::string& position, const std::string& reference = "A:L1,Bool",
                         const std::string& extra = "") {
  return "{" + position + ", \"Condition\": \"" + reference + "\", \"ConditionValue\": true" + extra + "}";
}

// A profile text with these LED entries.
inline std::string Profile(const std::vector<std::string>& entries) {
  std::string leds;
  for (const std::string& entry : entries) leds += (leds.empty() ? "" : ", ") + entry;
  return "{\"LEDs\": [" + leds + "]}";
}

}  // namespace testsupport
