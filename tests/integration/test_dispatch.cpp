// The bridge's reactions to simulator messages: messages shorter than their
// layout (sent by simhost over the real link) change nothing, exceptions show
// their names, events follow the simulation state and the menu; and what
// they lead to: the aircraft's profile folder, the reload with its message,
// and the reload handshake through the markers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/aircraft_dir.h"
#include "app/dispatch.h"
#include "platform/module_path.h"
#include "support/boxes.h"
#include "support/marker_files.h"
#include "support/unit_session.h"

using namespace testsupport;

namespace {

using Dispatch = UnitSession;

// A received message: size, version 5, id, then the 32-bit fields, padded
// with `fill` to `size` bytes.
simhost::Bytes Message(std::uint32_t id, std::uint32_t size, std::vector<std::uint32_t> fields, char fill = 0) {
  simhost::Bytes bytes(size, static_cast<std::uint8_t>(fill));
  fields.insert(fields.begin(), {size, 5, id});
  for (std::size_t i = 0; i < fields.size() && 4 * i + 4 <= size; ++i) std::memcpy(&bytes[4 * i], &fields[i], 4);
  return bytes;
}

// Hands a message to the bridge in a block of exactly its length, so that a
// read past it is caught; returns the boxes it showed.
std::string Deliver(const simhost::Bytes& message) {
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[message.size()]);
  std::memcpy(exact.get(), message.data(), message.size());
  testing::internal::CaptureStderr();
  DispatchCallback(reinterpret_cast<SIMCONNECT_RECV*>(exact.get()), static_cast<DWORD>(message.size()), nullptr);
  return testing::internal::GetCapturedStderr();
}

TEST_F(Dispatch, MessagesShorterThanTheirLayoutChangeNothing) {
  simhost::Bytes fullName = Message(6, 288, {0, 5, 0});
  std::memcpy(&fullName[24], "C:\\Planes\\", 10);
  std::memset(&fullName[34], 'x', 260 - 10);  // no terminating zero in the field
  const struct {
    const char* what;
    simhost::Bytes bytes;
    bool changes;
  } cases[] = {
      {"exception", Message(1, 23, {7, 1, 0}), false},
      {"event Sim", Message(4, 23, {0, 1, 1}), false},
      {"file name", Message(6, 287, {0, 5, 0}, '\\'), false},
      {"system state", Message(15, 283, {0, 0, 0}, '\\'), false},
      {"data", Message(8, 39, {1, 0, 1}), false},
      {"file name without a zero", fullName, true},
  };
  Received received;  // the answer to the open comes first
  DispatchUntil(simHandle, received, [&] { return !received.messages.empty(); });
  received.messages.clear();
  for (const auto& c : cases) ASSERT_TRUE(host.SendRaw(c.bytes)) << c.what;
  DispatchUntil(simHandle, received, [&] { return received.messages.size() >= std::size(cases); });
  ASSERT_EQ(received.messages.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].what);
    aircraftProfileDir = "unchanged";
    EXPECT_EQ(Deliver(received.messages[i]), "");
    EXPECT_FALSE(simRunning);
    EXPECT_EQ(aircraftProfileDir, cases[i].changes ? "C:\\Planes\\corvane_profiles\\" : "unchanged");
  }
  aircraftProfileDir.clear();
}

TEST_F(Dispatch, ExceptionsShowTheirNamesExceptForAnUnrecognizedId) {
  const struct {
    std::uint32_t code;
    const char* box;
  } cases[] = {
      {3, ""},
      {0, "SIMCONNECT_EXCEPTION_NONE"},
      {26, "SIMCONNECT_EXCEPTION_ALREADY_SUBSCRIBED "},
      {27, "SIMCONNECT_EXCEPTION_INVALID_ENUM "},
      {38, "SIMCONNECT_EXCEPTION_BLOCK_TIMEOUT"},
      {39, "SIMCONNECT_EXCEPTION_UNKNOWN_39"},
      {4294967295u, "SIMCONNECT_EXCEPTION_UNKNOWN_4294967295"},
  };
  for (const auto& c : cases) {
    const std::string boxes = Deliver(Message(1, 24, {c.code, 999, 0}));
    if (kBoxesOnStderr) {
      EXPECT_EQ(boxes, *c.box ? "NimbraBridge|SimConnectException: " + std::string(c.box) + "\n" : "");
    }
  }
}

TEST_F(Dispatch, EventsFollowTheSimulationStateExceptTheShowHideToggle) {
  devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", 4, 3));
  devices.back()->Initialise();
  auto event = [](std::uint32_t id, std::uint32_t data = 0) { Deliver(Message(4, 24, {0, id, data})); };
  // The reload's first step sends a dark report, so reports count reloads here.
  event(8);
  EXPECT_EQ(virtual_unit::Reports().size(), 0u);
  event(1, 1);
  EXPECT_TRUE(simRunning);
  event(8);
  EXPECT_EQ(virtual_unit::Reports().size(), 1u);
  event(1, 0);
  event(9);
  EXPECT_TRUE(devices[0]->showBindings);
  event(9);
  EXPECT_FALSE(devices[0]->showBindings);
  const std::size_t from = Mark();
  event(2);
  event(3);
  Mark();
  EXPECT_EQ(Described(from, 1), std::vector<std::string>{kMarkLine});
  EXPECT_EQ(virtual_unit::Reports().size(), 1u);
}

TEST(AircraftProfileDir, IsTheFolderOfTheAircraftFileWithItsProfileFolder) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\MSFS\\Planes\\A320\\aircraft.cfg", "C:\\MSFS\\Planes\\A320\\corvane_profiles\\"},
      {"C:\\MSFS\\Planes\\", "C:\\MSFS\\Planes\\corvane_profiles\\"},
      {"Z:\\home\\pilot\\plane\\aircraft.cfg", "Z:\\home\\pilot\\plane\\corvane_profiles\\"},
      {"/home/pilot/plane/aircraft.cfg", ""},
      {"aircraft.cfg", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    aircraftProfileDir = "before";
    SetAircraftProfileDir(c.path);
    EXPECT_EQ(aircraftProfileDir, c.folder) << c.path;
  }
  aircraftProfileDir.clear();
}

// A device named for this test alone, so that its profile and marker names
// meet no other test run.
class Reload : public UnitSession {
 protected:
  void SetUp() override {
    UnitSession::SetUp();
    name = "Test_" + pipe.name();
    global = platform::ModuleDirectory() + name + "_Config.json";
    devices.push_back(std::make_unique<HidDevice>(1, 2, name, 4, 3));
  }
  void TearDown() override {
    std::remove(global.c_str());
    RemoveMarkerFile(devices[0]->writeMutexName);
    RemoveMarkerFile(devices[0]->readMutexName);
    UnitSession::TearDown();
  }
  // The text lines that the reloads since `from` showed.
  std::vector<std::string> Lines(std::size_t from) {
    std::vector<std::string> lines;
    const std::size_t to = Mark();
    const auto all = host.Messages();
    for (std::size_t i = from; i + 1 < to; ++i) {
      if (const auto* text = std::get_if<simhost::TextMsg>(&all[i].decoded)) lines.push_back(text->text);
    }
    return lines;
  }
  std::string name, global;
};

TEST_F(Reload, TheMessageKeepsEarlierSettingsAndCountsTheBindings) {
  Device& device = *devices[0];
  const std::string prefix = "NimbraBridge|ReloadJson: " + name + " reloaded ";
  const struct {
    const char* profile;
    const char* line;  // after the prefix
  } cases[] = {
      {"{\"LEDs\": []}", "0 binding(s) successfully from GLOBAL profile ''."},
      {"{\"SaveName\": \"One\", \"Language\": \"de\", \"LEDs\": [{\"ByteIndex\": 1, \"BitIndex\": 1, "
       "\"de\": \"Gang\", \"Condition\": \"A:L1,Bool\", \"ConditionValue\": 1}]}",
       "1 binding(s) successfully from GLOBAL profile 'One'."},
      {"{\"SaveName\": 5, \"Language\": [], \"LEDs\": [{\"ByteIndex\": 1, \"BitIndex\": 1, \"de\": \"Rad\", "
       "\"Condition\": \"A:L1,Bool\", \"ConditionValue\": 1}]}",
       "1 binding(s) successfully from GLOBAL profile 'One'."},
  };
  for (const auto& c : cases) {
    std::ofstream(global) << c.profile;
    const std::size_t from = Mark();
    device.ReloadJson(false);
    EXPECT_EQ(Lines(from), std::vector<std::string>{prefix + c.line}) << c.profile;
  }
  EXPECT_EQ(device.languageKey, "de");
  EXPECT_EQ(static_cast<HidDevice&>(device).bindings.at(0)->conditions->text, "Rad");
}

TEST_F(Reload, AWriteSideMarkerCausesOneGlobalReloadPerAppearance) {
  Device& device = *devices[0];
  std::ofstream(global) << "{\"SaveName\": \"G\"}";
  const std::string line = "NimbraBridge|ReloadJson: " + name + " reloaded 0 binding(s) successfully from GLOBAL profile 'G'.";
  const struct {
    bool writeSide;
    bool reload;
    bool readSide;
  } seconds[] = {{false, false, false}, {true, true, true}, {true, false, true}, {false, false, false}, {true, true, true}};
  platform::MarkerHandle request = platform::kNoMarker;
  for (const auto& second : seconds) {
    if (second.writeSide && request == platform::kNoMarker) request = platform::CreateOrOpenMarker(device.writeMutexName);
    if (!second.writeSide && request != platform::kNoMarker) {
      platform::CloseMarker(request);
      request = platform::kNoMarker;
    }
    const std::size_t from = Mark();
    device.ArbitrationCheck();
    EXPECT_EQ(Lines(from), second.reload ? std::vector<std::string>{line} : std::vector<std::string>{});
    const platform::MarkerHandle answer = platform::OpenMarkerIfExists(device.readMutexName);
    EXPECT_EQ(answer != platform::kNoMarker, second.readSide);
    platform::CloseMarker(answer);
  }
  platform::CloseMarker(request);
}

}  // namespace
