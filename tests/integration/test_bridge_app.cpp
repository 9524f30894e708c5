// The bridge's start-up, main loop and shutdown against simhost, and its
// message reporting (boxes on standard error, text lines in the simulator).
// One start-up goes over the default pipe with nothing configured; the other
// tests use pipes of their own.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <variant>

#include "app/bridge_app.h"
#include "app/process_state.h"
#include "app/report_message.h"
#include "support/link_session.h"
#include "support/own_pipe.h"

using namespace testsupport;

namespace {

TEST(BridgeApp, StartsUpOnTheDefaultPipeRunsAndEndsWhenTheSimulatorCloses) {
  DefaultPipeLock defaultPipe;
  ConfigPlaces nothingConfigured("nimbra_app_", RegisteredPorts::ClearUnlessShared);
  simhost::SimHost host(QuietHost());
  defaultPipe.Start(host);
  auto life = std::async(std::launch::async, [] { BridgeApp app; });

  ASSERT_TRUE(host.WaitForMessages(6, 5s));
  const auto messages = host.Messages();
  const std::uint32_t types[] = {0xF0000001, 0xF0000017, 0xF0000017, 0xF0000017, 0xF0000017, 0xF0000031};
  for (std::uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(messages[i].type, types[i]) << i;
    EXPECT_EQ(messages[i].sendId, i + 1);
  }
  EXPECT_EQ(std::get<simhost::OpenMsg>(messages[0].decoded).applicationName, "Nimbra_Bridge");
  const std::map<std::uint32_t, std::string> subscriptions = {
      {1, "Sim"}, {2, "6Hz"}, {3, "1sec"}, {5, "AircraftLoaded"}};
  EXPECT_EQ(host.Subscriptions(), subscriptions);
  const auto& menu = std::get<simhost::MenuAddItemMsg>(messages[5].decoded);
  EXPECT_EQ(menu.text, "Corvane");
  EXPECT_EQ(menu.menuEventId, 6u);
  EXPECT_EQ(menu.data, 0u);

  // The loop keeps running while the simulator answers.
  ASSERT_TRUE(host.SendEvent("6Hz"));
  EXPECT_EQ(life.wait_for(300ms), std::future_status::timeout);
  const std::size_t sent = host.MessageCount();  // the device's menu sub-items included

  ASSERT_TRUE(host.SendQuit());
  ASSERT_TRUE(host.CloseClient());
  ASSERT_EQ(life.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(simHandle, nullptr);
  EXPECT_TRUE(host.Refused().empty());
  // After the loss the shutdown's menu removals fail without sending anything.
  EXPECT_EQ(host.MessageCount(), sent);
  EXPECT_TRUE(WaitForNoConnections());
}

TEST(BridgeApp, ShutdownWhileConnectedRemovesTheMenuAndCloses) {
  OwnPipe pipe;
  simhost::SimHost host(pipe.HostOptions());
  host.Start();
  ASSERT_EQ(SimConnect_Open(&simHandle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
  Shutdown();
  EXPECT_EQ(simHandle, nullptr);
  ASSERT_TRUE(host.WaitForMessages(2, 3s));
  const auto messages = host.Messages();
  EXPECT_EQ(messages[1].type, 0xF0000032u);
  EXPECT_EQ(std::get<simhost::MenuDeleteItemMsg>(messages[1].decoded).menuEventId, 6u);
  Shutdown();  // again: nothing more happens
  EXPECT_TRUE(host.WaitForDisconnect(3s));
  EXPECT_EQ(host.MessageCount(), 2u);
}

TEST(BridgeApp, NoSimulatorShowsOneBoxAndEnds) {
  OwnPipe pipe;
  pipe.PointAtNothing();
  testing::internal::CaptureStderr();
  { BridgeApp app; }
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge: Failed to Initialize SimConnectToTheLine\n");
  }
  EXPECT_EQ(simHandle, nullptr);
}

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Start();
    ASSERT_EQ(SimConnect_Open(&simHandle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
  }
  void TearDown() override {
    if (simHandle != nullptr) SimConnect_Close(simHandle);
    simHandle = nullptr;
  }
  simhost::TextMsg Line(std::size_t n) {
    EXPECT_TRUE(host.WaitForMessages(n + 2, 3s));
    const auto messages = host.Messages();
    return std::get<simhost::TextMsg>(messages.at(n + 1).decoded);
  }
  OwnPipe pipe;
  simhost::SimHost host{pipe.HostOptions()};
};

TEST_F(Reports, ATextLineIsCaptionColonText) {
  ReportMessage("Velk_Throttle reloaded 3 binding(s) successfully from GLOBAL profile 'Default'.",
                "NimbraBridge|ReloadJson", false);
  const auto line = Line(0);
  EXPECT_EQ(line.text,
            "NimbraBridge|ReloadJson: Velk_Throttle reloaded 3 binding(s) successfully from GLOBAL profile 'Default'.");
  EXPECT_EQ(line.textType, 0x102u);
  EXPECT_EQ(line.seconds, 10.0f);
  EXPECT_EQ(line.eventId, 4u);
  EXPECT_EQ(line.dataLength, 200u);
  ASSERT_EQ(line.data.size(), 200u);
  EXPECT_EQ(line.data[line.text.size()], 0);
}

TEST_F(Reports, LinesOf199CharactersAreWholeAndLongerOnesAreCut) {
  const std::string caption = "C";              // "C: " is three characters
  ReportMessage(std::string(196, 'a'), caption, false);  // 199 in all
  ReportMessage(std::string(197, 'b'), caption, false);  // 200 in all
  ReportMessage(std::string(1000, 'c'), caption, false);
  EXPECT_EQ(Line(0).text, "C: " + std::string(196, 'a'));
  EXPECT_EQ(Line(1).text, "C: " + std::string(196, 'b'));
  EXPECT_EQ(Line(2).text, "C: " + std::string(196, 'c'));
  EXPECT_EQ(Line(2).data[199], 0);
}

TEST_F(Reports, EmptyTextShowsNothingAnywhere) {
  testing::internal::CaptureStderr();
  ReportMessage("", "NimbraBridge", true);
  ReportMessage("", "NimbraBridge", false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ReportMessage("marker", "NimbraBridge", false);
  EXPECT_EQ(Line(0).text, "NimbraBridge: marker");  // the marker is the first line sent
}

TEST(ReportsWithoutConnection, BoxesStillShowAndLinesAreDropped) {
  ASSERT_EQ(simHandle, nullptr);
  testing::internal::CaptureStderr();
  ReportMessage("dropped", "NimbraBridge|ReloadJson", false);
  ReportMessage("Failed to Initialize SimConBelowTheLine", "NimbraBridge", true);
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge: Failed to Initialize SimConBelowTheLine\n");
  }
}

}  // namespace
