// nimbra-profile watch against simhost on a pipe of the test's own: values
// set in the simulator reach the screen, rejected variables are marked, an
// any-of entry names the condition that carries it, NaN and infinity show as
// such, the watched profile follows the aircraft, and the command's exit
// statuses (no simulator, broken profile, the simulator's end).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "app/process_state.h"
#include "support/own_pipe.h"
#include "variables/variable_registry.h"
#include "watch.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace nimbra_profile {
namespace {

constexpr const char* kGear = "GEAR HANDLE POSITION";
constexpr const char* kFlaps = "FLAPS HANDLE PERCENT";

class WatchScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nimbra_watch_" + pipe_.name());
    fs::create_directories(dir_);
    host_.Start();
    options_.bridgeFolder = BridgeFolder(dir_.string());
    options_.unitName = "Velk_Throttle";
    options_.limits = kSupportedUnitLedLimits;
  }

  void TearDown() override {
    session_.reset();
    if (link_ != nullptr) {
      // The session gave its variables back over the link as it went.
      const auto end = std::chrono::steady_clock::now() + 3s;
      while (!host_.Definitions().empty() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
      EXPECT_TRUE(host_.Definitions().empty()) << "the watch left variables registered";
      SimConnect_Close(link_);
    }
    host_.Stop();
    // The watch keeps its state to itself.
    EXPECT_EQ(simHandle, nullptr);
    EXPECT_TRUE(aircraftProfileDir.empty());
    EXPECT_TRUE(variableRegistry.entries().empty());
    EXPECT_TRUE(WaitForNoConnections());
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string WriteFile(const fs::path& relative, const std::string& text) {
    const fs::path path = dir_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  // Connects as the watch does and starts a session; the simulation runs.
  void Start(const std::string& file) {
    options_.file = file;
    const std::size_t before = host_.MessageCount();  // another client's, all received
    ASSERT_EQ(SimConnect_Open(&link_, "Nimbra_Profile_Watch", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_TRUE(WatchSession::Subscribe(link_));
    session_ = std::make_unique<WatchSession>(options_, &link_);
    ASSERT_TRUE(host_.WaitForMessages(before + 3, 3s));
    ASSERT_TRUE(ShowsLine([this] { return host_.SendEvent("Sim", 1) == 1; }, "simulation: running"));
  }

  // Dispatches into the session until a screen line contains `text`.
  bool ShowsLine(const std::function<bool()>& act, const std::string& text) {
    if (!act()) return false;
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < end) {
      if (SimConnect_CallDispatch(link_, WatchSession::Dispatch, session_.get()) < 0) return false;
      if (!Line(text).empty()) return true;
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "no line with \"" << text << "\" in:\n" << Screen();
    return false;
  }

  std::string Line(const std::string& text) const {
    for (const std::string& line : session_->Screen(false)) {
      if (line.find(text) != std::string::npos) return line;
    }
    return std::string();
  }

  std::string Screen() const {
    std::string all;
    for (const std::string& line : session_->Screen(false)) all += line + "\n";
    return all;
  }

  static simhost::Options SeveralClients(simhost::Options options) {
    options.severalClients = true;
    return options;
  }

  OwnPipe pipe_;
  simhost::SimHost host_{SeveralClients(pipe_.HostOptions())};
  fs::path dir_;
  WatchOptions options_;
  HANDLE link_ = nullptr;
  std::unique_ptr<WatchSession> session_;
};

const std::string kGearProfile = R"({"Language": "en", "LEDs": [
  {"ByteIndex": 1, "BitIndex": 0, "en": "Gear down", "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true},
  {"ByteIndex": 1, "BitIndex": 1, "en": "Flaps out", "Condition": "A:FLAPS HANDLE PERCENT,Number", "ConditionValue": ">0.5"}]})";

TEST_F(WatchScreen, AValueSetInTheSimulatorLightsTheEntryOnTheScreen) {
  Start(WriteFile("gear.json", kGearProfile));
  EXPECT_NE(Line("Gear down").find("dark"), std::string::npos) << Screen();
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kGear, "Bool", 1); return true; }, "#0  1/0  LIT   Gear down"));
  EXPECT_NE(Line("A:GEAR HANDLE POSITION,Bool == 1").find("now 1  holds"), std::string::npos) << Screen();
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kFlaps, "Number", 0.75); return true; }, "now 0.75  holds"));
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kGear, "Bool", 0); return true; }, "#0  1/0  dark  Gear down"));
}

TEST_F(WatchScreen, BesideTheBridgeBothReceiveTheirValues) {
  HANDLE bridge = nullptr;
  ASSERT_EQ(SimConnect_Open(&bridge, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
  // The bridge's registration of the gear, under the identifier the watch uses too.
  ASSERT_EQ(SimConnect_AddToDataDefinition(bridge, 1, kGear, "Bool", SIMCONNECT_DATATYPE_INT32, 0.0f, SIMCONNECT_UNUSED), S_OK);
  ASSERT_EQ(SimConnect_RequestDataOnSimObject(bridge, 1, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND,
                                              SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0),
            S_OK);
  ASSERT_TRUE(host_.WaitForMessages(3, 3s));  // the bridge's open, definition and request
  Start(WriteFile("gear.json", kGearProfile));
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kGear, "Bool", 1); return true; }, "#0  1/0  LIT   Gear down"));
  Received received;
  std::int32_t bridgeValue = -1;
  DispatchUntil(bridge, received, [&] {
    for (const auto& m : received.messages) {
      if (reinterpret_cast<const SIMCONNECT_RECV*>(m.data())->dwID == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
          m.size() >= kSimObjectDataOffset + 4) {
        std::memcpy(&bridgeValue, m.data() + kSimObjectDataOffset, 4);
      }
    }
    return bridgeValue == 1;
  });
  EXPECT_EQ(bridgeValue, 1);
  EXPECT_EQ(SimConnect_Close(bridge), S_OK);
}

TEST_F(WatchScreen, NanAndInfinityShowAsSuch) {
  Start(WriteFile("gear.json", kGearProfile));
  struct Case {
    double value;
    const char* shown;
  } cases[] = {{std::numeric_limits<double>::quiet_NaN(), "now NaN  fails"},
               {std::numeric_limits<double>::infinity(), "now inf  holds"},
               {-std::numeric_limits<double>::infinity(), "now -inf  fails"}};
  for (const Case& c : cases) {
    EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kFlaps, "Number", c.value); return true; }, c.shown)) << c.shown;
  }
}

TEST_F(WatchScreen, AVariableTheSimulatorRejectsIsMarkedAndItsEntryStaysDark) {
  host_.Reject("NO SUCH VARIABLE");
  Start(WriteFile("rejected.json", R"({"LEDs": [
    {"ByteIndex": 1, "BitIndex": 0, "Condition": "A:NO SUCH VARIABLE,Bool", "ConditionValue": "!=1"}]})"));
  EXPECT_TRUE(ShowsLine([] { return true; }, "REJECTED by the simulator"));
  EXPECT_NE(Line("A:NO SUCH VARIABLE").find("fails"), std::string::npos) << Screen();
  EXPECT_NE(Line("#0").find("dark"), std::string::npos) << Screen();
  EXPECT_NE(Line("variables:").find("1 rejected"), std::string::npos) << Screen();
}

TEST_F(WatchScreen, AnyOfNamesTheConditionThatCarriesItAndAllOfTheOneThatBlocks) {
  Start(WriteFile("logic.json", R"({"LEDs": [
    {"ByteIndex": 1, "BitIndex": 0, "ConditionLogic": "OR", "Conditions": [
      {"Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true},
      {"Condition": "A:FLAPS HANDLE PERCENT,Number", "ConditionValue": ">0.5"}]},
    {"ByteIndex": 1, "BitIndex": 1, "Conditions": [
      {"Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true},
      {"Condition": "A:FLAPS HANDLE PERCENT,Number", "ConditionValue": ">0.5"}]}]})"));
  ASSERT_TRUE(ShowsLine([&] { host_.SetValue(kFlaps, "Number", 0.9); return true; }, "now 0.9  holds  <- carries it"));
  const std::vector<std::string> screen = session_->Screen(false);
  const auto first = std::find_if(screen.begin(), screen.end(), [](const std::string& l) { return l.rfind("#0", 0) == 0; });
  const auto second = std::find_if(screen.begin(), screen.end(), [](const std::string& l) { return l.rfind("#1", 0) == 0; });
  ASSERT_TRUE(first != screen.end() && second != screen.end()) << Screen();
  EXPECT_NE(first->find("LIT"), std::string::npos) << Screen();
  EXPECT_NE(first->find("(any of)"), std::string::npos);
  EXPECT_EQ(first[1].find("carries"), std::string::npos) << "the gear does not hold: " << first[1];
  EXPECT_NE(second->find("dark"), std::string::npos) << Screen();
  EXPECT_NE(second[1].find("fails  <- blocks it"), std::string::npos) << second[1];
  EXPECT_EQ(second[2].find("blocks"), std::string::npos) << second[2];
}

TEST_F(WatchScreen, ABlinkingEntryShowsItsRateAndHalfCountedInRefreshes) {
  Start(WriteFile("blink.json", R"({"Language": "en", "LEDs": [
    {"ByteIndex": 1, "BitIndex": 0, "en": "Fire", "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true,
     "Blink": 1.5}]})"));
  EXPECT_TRUE(ShowsLine([] { return true; }, "#0  1/0  dark  Fire  blinks at 1.5 Hz"));
  const auto tick = [&] { return host_.SendEvent("6Hz", 0) == 1; };
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kGear, "Bool", 1); return true; },
                        "#0  1/0  LIT   Fire  blinks at 1.5 Hz, lit half"));
  // Two refreshes lit, two dark.
  EXPECT_TRUE(tick());
  EXPECT_TRUE(ShowsLine(tick, "#0  1/0  dark (blink)  Fire  blinks at 1.5 Hz, dark half"));
  EXPECT_TRUE(tick());
  EXPECT_TRUE(ShowsLine(tick, "#0  1/0  LIT   Fire  blinks at 1.5 Hz, lit half"));
  // Refreshes are counted only while the simulation runs, as the bridge refreshes.
  EXPECT_TRUE(ShowsLine([&] { return host_.SendEvent("Sim", 0) == 1; }, "simulation: not running"));
  EXPECT_TRUE(tick() && tick());
  EXPECT_TRUE(ShowsLine([&] { return host_.SendEvent("Sim", 1) == 1; }, "simulation: running"));
  EXPECT_NE(Line("Fire").find("lit half"), std::string::npos) << Screen();
}

TEST_F(WatchScreen, TheGateDarkensLitEntries) {
  Start(WriteFile("gate.json", R"({"LEDs": [
    {"ByteIndex": 0, "BitIndex": 0, "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true},
    {"ByteIndex": 1, "BitIndex": 0, "Condition": "A:FLAPS HANDLE PERCENT,Number", "ConditionValue": ">0.5"}]})"));
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kFlaps, "Number", 1); return true; }, "#1  1/0  dark (gate)"));
  EXPECT_NE(Line("gate 0/0").find("FAILS"), std::string::npos) << Screen();
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue(kGear, "Bool", 1); return true; }, "#1  1/0  LIT"));
}

TEST_F(WatchScreen, WithoutAFileItFollowsTheAircraftToItsOwnProfile) {
  WriteFile("Velk_Throttle_Config.json", R"({"Language": "en", "LEDs": [
    {"ByteIndex": 1, "BitIndex": 0, "en": "Global entry", "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true}]})");
  const std::string own = WriteFile("plane/corvane_profiles/Velk_Throttle_Config.json", R"({"Language": "en", "LEDs": [
    {"ByteIndex": 2, "BitIndex": 3, "en": "Own entry", "Condition": "A:FLAPS HANDLE PERCENT,Number", "ConditionValue": ">0.5"}]})");
  Start("");
  EXPECT_NE(Line("profile:").find("GLOBAL"), std::string::npos) << Screen();
  EXPECT_FALSE(Line("Global entry").empty()) << Screen();
  std::string aircraft = (dir_ / "plane" / "aircraft.cfg").string();
  std::replace(aircraft.begin(), aircraft.end(), '/', '\\');
  EXPECT_TRUE(ShowsLine([&] { return host_.SendAircraftLoaded(aircraft); }, "Own entry"));
  EXPECT_NE(Line("profile:").find("LOCAL"), std::string::npos) << Screen();
  EXPECT_NE(Line("aircraft:").find("aircraft.cfg"), std::string::npos) << Screen();
  EXPECT_TRUE(Line("Global entry").empty()) << Screen();
  ASSERT_EQ(session_->registry().entries().size(), 1u);
  EXPECT_EQ(session_->registry().entries().begin()->first, "A:FLAPS HANDLE PERCENT,Number");
}

TEST_F(WatchScreen, TenThousandEntriesAreAllShownAndFollowTheirValues) {
  std::string leds;
  for (int i = 0; i < 10000; ++i) {
    leds += std::string(i ? "," : "") + R"({"ByteIndex": 1, "BitIndex": )" + std::to_string(i % 8) +
            R"(, "Condition": "A:GENERAL ENG RPM:)" + std::to_string(i % 50 + 1) + R"(,Rpm", "ConditionValue": ">)" +
            std::to_string(i % 50) + "\"}";
  }
  Start(WriteFile("big.json", "{\"LEDs\": [" + leds + "]}"));
  EXPECT_EQ(session_->registry().entries().size(), 50u);
  EXPECT_FALSE(Line("#9999  1/7  dark").empty()) << Line("#9999");
  EXPECT_TRUE(ShowsLine([&] { host_.SetValue("GENERAL ENG RPM:50", "Rpm", 100); return true; }, "#9999  1/7  LIT"));
}

// The command as a whole: its exit statuses.
class WatchCommandRun : public WatchScreen {};

TEST_F(WatchCommandRun, ExitsWithTwoOnABrokenProfileAndOneWithoutASimulator) {
  WatchCommand command;
  command.plain = true;
  command.options = options_;
  command.options.file = WriteFile("broken.json", "{\"LEDs\": [");
  EXPECT_EQ(nimbra_profile::Watch(command), 2);
  command.options.file = WriteFile("gear.json", kGearProfile);
  pipe_.PointAtNothing();
  EXPECT_EQ(nimbra_profile::Watch(command), 1);
  EXPECT_EQ(simHandle, nullptr);
}

TEST_F(WatchCommandRun, TheSimulatorsEndEndsItWithZero) {
  WatchCommand command;
  command.plain = true;
  command.options = options_;
  command.options.file = WriteFile("gear.json", kGearProfile);
  std::thread quit([this] {
    if (host_.WaitForMessages(5, 5s)) host_.SendQuit();
  });
  const int status = nimbra_profile::Watch(command);
  quit.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(simHandle, nullptr);
}

}  // namespace
}  // namespace nimbra_profile
