// The bridge's reactions to simulator messages: messages shorter than their
// layout (sent by simhost over the real link) change nothing, exceptions show
// their names, events follow the simulation state and the menu; and what
// they lead to: the aircraft's profile folder, the reload with its message,
// and the reload handshake through the markers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "app/aircraft_dir.h"
#include "app/bridge_app.h"
#include "app/dispatch.h"
#include "platform/module_path.h"
#include "devices/led_entry.h"
#include "support/allocation_failure.h"
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
  devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits));
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

// The unit, with an observer of its loading that a test may set: it acts
// in the middle of a reload.
class ObservedUnit : public HidDevice {
 public:
  using HidDevice::HidDevice;
  void LoadBindings(const rapidjson::Value& profile) override { HidDevice::LoadBindings(profile, observer); }
  EntryObserver* observer = nullptr;
};

// A device named for this test alone, so that its profile and marker names
// meet no other test run.
class Reload : public UnitSession {
 protected:
  void SetUp() override {
    UnitSession::SetUp();
    name = "Test_" + pipe.name();
    global = platform::ModuleDirectory() + name + "_Config.json";
    devices.push_back(std::make_unique<ObservedUnit>(1, 2, name, kSupportedUnitLedLimits));
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

#ifndef _WIN32
// Someone locks the read side's file exclusively (it is mode 0666) while a
// request stands: the bridge cannot answer, so it reloads every second as a
// refused answer does, and no check stalls its thread. Once the lock goes the
// answer is held at the next check and the reloads stop.
TEST_F(Reload, AForeignLockOnTheReadSideNeitherStallsNorStopsTheHandshake) {
  Device& device = *devices[0];
  std::ofstream(global) << "{\"SaveName\": \"G\"}";
  const std::string line = "NimbraBridge|ReloadJson: " + name + " reloaded 0 binding(s) successfully from GLOBAL profile 'G'.";
  platform::CloseMarker(platform::CreateOrOpenMarker(device.readMutexName));  // the file, held by nobody
  const int foreign = ::open(MarkerFile(device.readMutexName).c_str(), O_RDWR);
  ASSERT_GE(foreign, 0);
  ASSERT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
  const platform::MarkerHandle request = platform::CreateOrOpenMarker(device.writeMutexName);
  ASSERT_NE(request, platform::kNoMarker);
  const struct {
    bool locked;
    bool reload;
    bool answered;
  } seconds[] = {{true, true, false}, {true, true, false}, {false, true, true}, {false, false, true}};
  for (const auto& second : seconds) {
    if (!second.locked) ::flock(foreign, LOCK_UN);
    const std::size_t from = Mark();
    const auto start = std::chrono::steady_clock::now();
    device.ArbitrationCheck();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(Lines(from), second.reload ? std::vector<std::string>{line} : std::vector<std::string>{});
    EXPECT_EQ(device.readMutex != platform::kNoMarker, second.answered);
  }
  ::close(foreign);
  platform::CloseMarker(request);
}
#endif

// Acts when the loading reaches one LED entry, before that entry's bindings
// are built: a profile-checking observer that throws, or the simulator going.
struct AtEntry : EntryObserver {
  AtEntry(std::size_t index, std::function<void()> act) : index(index), act(std::move(act)) {}
  void EntryDecided(const EntryOutcome& outcome) override {
    if (outcome.index == index) act();
  }
  std::size_t index;
  std::function<void()> act;
};

std::string At(int byte, int bit) {
  return "\"ByteIndex\": " + std::to_string(byte) + ", \"BitIndex\": " + std::to_string(bit);
}

// A file that gives no document: the reload shows the loader's reason in
// its box, announces nothing and leaves no binding of the profile before.
TEST_F(Reload, AFileThatGivesNoDocumentShowsWhyAndLeavesNoBinding) {
  Device& device = *devices[0];
  const struct {
    const char* bytes;  // null: no file
    std::string box;    // after the caption
  } cases[] = {
      {nullptr, "JSON file '" + global + "' could not be opened."},
      {"[]", "No object found in JSON file '" + global + "'."},
      {"{\"a\":1,}", "There is at least one parsing error present in the JSON file '" + global +
                          "' at offset 8. Message: Missing a name for object member."},
  };
  for (const auto& c : cases) {
    std::ofstream(global) << Profile({Entry(At(1, 0))});
    device.ReloadJson(false);
    ASSERT_EQ(device.BindingCount(), 1u);
    if (c.bytes == nullptr) std::remove(global.c_str());
    else std::ofstream(global) << c.bytes;
    const std::size_t from = Mark();
    testing::internal::CaptureStderr();
    device.ReloadJson(false);
    const std::string boxes = testing::internal::GetCapturedStderr();
    if (kBoxesOnStderr) {
      EXPECT_EQ(boxes, "NimbraBridge|DeserializeJson: " + c.box + "\n");
    }
    EXPECT_EQ(Lines(from), std::vector<std::string>{}) << c.box;
    EXPECT_EQ(device.BindingCount(), 0u) << c.box;
  }
}

// Once the link is gone every registration fails; the variables after that
// point are not to blame, while one refused before it is.
TEST_F(Reload, ALinkLostDuringTheRegistrationsBlamesOnlyTheVariablesRefusedBeforeIt) {
  ObservedUnit& device = static_cast<ObservedUnit&>(*devices[0]);
  std::ofstream(global) << Profile({Entry(At(1, 0), "a:BEFORE,Bool"), Entry(At(1, 1), "A:UP,Bool"),
                                    Entry(At(1, 2), "A:LOST,Bool"), Entry(At(1, 3), "A:AFTER,Bool"),
                                    Entry(At(2, 0), "a:AFTER,Bool")});
  AtEntry loss(2, [this] {
    ASSERT_TRUE(host.CloseClient());
    for (int i = 0; i < 300; ++i) {
      if (SimConnect_CallDispatch(simHandle, [](SIMCONNECT_RECV*, DWORD, void*) {}, nullptr) < 0) return;
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "the link was not lost";
  });
  device.observer = &loss;
  testing::internal::CaptureStderr();
  device.ReloadJson(false);
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge: Could not add condition variable 'a:BEFORE,Bool' to MSFS processing.\n");
  }
  EXPECT_EQ(device.BindingCount(), 5u);
  EXPECT_NE(variableRegistry.FindVariable("A:UP,Bool"), nullptr);
  EXPECT_EQ(variableRegistry.FindVariable("A:LOST,Bool"), nullptr);
}

// A failure thrown while the LED entries load ends the reload with a box of
// its text and no reload line; what was built before it stays, and the next
// reload starts clean.
TEST_F(Reload, AFailureDuringTheLoadingShowsItsTextAndKeepsWhatWasBuilt) {
  ObservedUnit& device = static_cast<ObservedUnit&>(*devices[0]);
  std::ofstream(global) << "{\"SaveName\": \"Thrown\", \"LEDs\": [" << Entry(At(1, 0), "A:T1,Bool") << ", "
                        << Entry(At(1, 1), "A:T2,Bool") << ", " << Entry(At(1, 2), "A:T3,Bool") << "]}";
  AtEntry thrower(2, [] { throw std::runtime_error("the observer gave up"); });
  std::size_t from = Mark();
  testing::internal::CaptureStderr();
  device.observer = &thrower;
  device.ReloadJson(false);
  device.observer = nullptr;
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge|ReloadJson: the observer gave up\n");
  }
  EXPECT_EQ(Lines(from), std::vector<std::string>{});
  EXPECT_EQ(device.BindingCount(), 2u);
  EXPECT_EQ(device.saveName, "Thrown");
  ASSERT_NE(variableRegistry.FindVariable("A:T1,Bool"), nullptr);
  EXPECT_EQ(variableRegistry.FindVariable("A:T1,Bool")->refCount, 1);
  EXPECT_EQ(variableRegistry.FindVariable("A:T3,Bool"), nullptr);

  from = Mark();
  device.ReloadJson(false);
  EXPECT_EQ(Lines(from), std::vector<std::string>{"NimbraBridge|ReloadJson: " + name +
                                                  " reloaded 3 binding(s) successfully from GLOBAL profile 'Thrown'."});
  EXPECT_EQ(variableRegistry.entries().size(), 3u);
}

// The reload's one catch builds the box's texts; when that runs out of
// memory too, nothing more may leave the reload.
TEST_F(Reload, RunningOutOfMemoryWhileReportingAFailureLeavesTheReloadQuietly) {
  ObservedUnit& device = static_cast<ObservedUnit&>(*devices[0]);
  std::ofstream(global) << Profile({Entry(At(1, 0), "A:T1,Bool"), Entry(At(1, 1), "A:T2,Bool")});
  AtEntry thrower(1, [] {
    const std::runtime_error failure(std::string(64, 'x'));  // longer than any string kept in place
    testsupport::FailAllocation(1);
    throw failure;
  });
  device.observer = &thrower;
  EXPECT_NO_THROW(device.ReloadJson(false));
  EXPECT_TRUE(testsupport::AllocationFailed());
  EXPECT_EQ(device.BindingCount(), 1u);
}

// A variable of both the old and the new profile is given back with the old
// bindings and registered afresh, in profile order, before the reload line.
TEST_F(Reload, AVariableOfTheOldAndTheNewProfileIsRegisteredAfresh) {
  Device& device = *devices[0];
  std::ofstream(global) << Profile({Entry(At(1, 0), "A:SHARED,Bool"), Entry(At(1, 1), "A:OLD,Bool")});
  device.ReloadJson(false);
  const auto id = [](const char* reference) { return std::to_string(variableRegistry.FindVariable(reference)->defineId); };
  const std::string shared = id("A:SHARED,Bool"), old = id("A:OLD,Bool");
  std::ofstream(global) << Profile({Entry(At(1, 0), "A:NEW,Bool"), Entry(At(1, 1), "A:SHARED,Bool")});
  const std::size_t from = Mark();
  device.ReloadJson(false);
  const auto stop = [](const std::string& i) {
    return std::vector<std::string>{"RequestDataOnSimObject: request " + i + ", definition " + i +
                                        ", object 0, period 0, flags 0, origin 0, interval 0, limit 0",
                                    "ClearDataDefinition: definition " + i};
  };
  const auto start = [](const std::string& i, const std::string& datum) {
    return std::vector<std::string>{"AddToDataDefinition: definition " + i + ", \"" + datum +
                                        "\" in \"Bool\", type 1, epsilon 0, datum id unused",
                                    "RequestDataOnSimObject: request " + i + ", definition " + i +
                                        ", object 0, period 4, flags 1, origin 0, interval 0, limit 0"};
  };
  std::vector<std::string> expected;
  for (const auto& pair : {stop(shared), stop(old), start(id("A:NEW,Bool"), "NEW"), start(id("A:SHARED,Bool"), "SHARED")}) {
    expected.insert(expected.end(), pair.begin(), pair.end());
  }
  const std::vector<std::string> wire = Described(from, 9);
  ASSERT_EQ(wire.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(wire.begin(), wire.begin() + 8), expected);
  EXPECT_NE(wire[8].find("reloaded 2 binding(s)"), std::string::npos) << wire[8];
}

// Before any aircraft was loaded the LOCAL path is the bare file name, which
// the current folder resolves; found there, it is reported as LOCAL.
TEST_F(Reload, BeforeAnyAircraftTheLocalProfileIsTheFileInTheCurrentFolder) {
  Device& device = *devices[0];
  aircraftProfileDir.clear();
  std::ofstream(global) << "{\"SaveName\": \"G\"}";
  const std::filesystem::path startedIn = std::filesystem::current_path();
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("nimbra_local_" + pipe.name());
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  const std::string prefix = "NimbraBridge|ReloadJson: " + name + " reloaded 0 binding(s) successfully from ";
  // A test program not named as the bridge has no module folder (Windows):
  // its GLOBAL path is then the same bare name, so only the LOCAL case holds.
  const bool globalApart = !platform::ModuleDirectory().empty();
  for (const bool local : {false, true}) {
    if (!local && !globalApart) continue;
    if (local) std::ofstream(name + "_Config.json") << "{\"SaveName\": \"L\"}";
    const std::size_t from = Mark();
    device.ReloadJson(true);
    EXPECT_EQ(Lines(from), std::vector<std::string>{prefix + (local ? "LOCAL profile 'L'." : "GLOBAL profile 'G'.")});
  }
  std::filesystem::current_path(startedIn);
  std::filesystem::remove_all(folder);
}

// A menu the simulator link refuses (a name too long for the sub-item's
// text) stops before the show/hide item and is reported at start-up; the
// device is served all the same.
TEST_F(Reload, ARefusedReloadItemStopsTheMenuAndLeavesTheDeviceWorking) {
  devices.clear();
  devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId,
                                                name + std::string(240 - name.size(), 'n'), kSupportedUnitLedLimits));
  const std::size_t from = Mark();
  testing::internal::CaptureStderr();
  InitialiseDevices();
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge: Failed to Initialize SimConBelowTheLine\n");
  }
  EXPECT_EQ(Mark(), from + 1) << "no menu message went out";

  HidDevice& device = static_cast<HidDevice&>(*devices[0]);
  rapidjson::Document profile;
  profile.Parse(Profile({Entry(At(2, 1), "A:L1,Bool")}).c_str());
  device.LoadBindings(profile);
  Set("A:L1,Bool", 1);
  device.RefreshLeds();
  EXPECT_EQ(virtual_unit::CurrentReport().at(2), 0x02);
  device.ClearBindings();
}

}  // namespace
