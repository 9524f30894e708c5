// A profile's LED entries made into bindings, and the LEDs following them:
// position checks against the unit's limits, entries that are passed over,
// the gate and its replacement on the wire, the report sent only on change,
// and the announcements of LED changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/unit_session.h"

using namespace testsupport;

namespace {

using Bindings = UnitSession;
using Output = UnitSession;
using Report = std::vector<std::uint8_t>;

// A report with these bytes after the identifier byte.
Report Lit(std::initializer_list<std::uint8_t> bytes) {
  Report report(kLedReportSize, 0);
  std::size_t at = 1;
  for (std::uint8_t byte : bytes) report[at++] = byte;
  return report;
}

std::vector<Report> SentReports() {
  std::vector<Report> sent;
  for (const auto& report : virtual_unit::Reports()) sent.push_back(report.bytes);
  return sent;
}

TEST_F(Bindings, PositionsAreCheckedAgainstTheUnitsLimits) {
  const struct {
    const char* position;
    int bindings;  // 1: a binding, 0: passed over, -1: the gate
  } cases[] = {
      {"\"ByteIndex\": 1, \"BitIndex\": 0", 1},      {"\"ByteIndex\": 3, \"BitIndex\": 7", 1},
      {"\"ByteIndex\": 3, \"BitIndex\": 8", 0},      {"\"ByteIndex\": 4, \"BitIndex\": 3", 1},
      {"\"ByteIndex\": 4, \"BitIndex\": 4", 0},      {"\"ByteIndex\": 5, \"BitIndex\": 0", 0},
      {"\"ByteIndex\": 0, \"BitIndex\": 0", -1},     {"\"ByteIndex\": 0, \"BitIndex\": 1", 0},
      {"\"ByteIndex\": 1.0, \"BitIndex\": 0", 0},    {"\"ByteIndex\": \"1\", \"BitIndex\": 0", 0},
      {"\"ByteIndex\": -1, \"BitIndex\": 0", 0},     {"\"ByteIndex\": 1, \"BitIndex\": -1", 0},
      {"\"ByteIndex\": 4294967297, \"BitIndex\": 0", 0}, {"\"ByteIndex\": true, \"BitIndex\": 0", 0},
      {"\"ByteIndex\": null, \"BitIndex\": 0", 0},   {"\"ByteIndex\": 1, \"BitIndex\": [0]", 0},
      {"\"ByteIndex\": 1", 0},                       {"\"BitIndex\": 0, \"ByteIndex\": {}", 0},
      {"\"ByteIndex\": 2, \"BitIndex\": 1, \"ByteIndex\": 9", 1},  // the first of a repeated name counts
  };
  HidDevice& device = MakeUnit();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    Load(Profile({Entry(c.position)}));
    EXPECT_EQ(device.BindingCount(), c.bindings == 1 ? 1u : 0u);
    EXPECT_EQ(device.gateBinding != nullptr, c.bindings == -1);
    // Only a binding holds its variable: a passed-over entry registers nothing.
    EXPECT_EQ(variableRegistry.entries().size(), c.bindings == 0 ? 0u : 1u);
    device.ClearBindings();
    device.gateBinding.reset();
  }
}

TEST_F(Bindings, EntriesWithoutConditionsOrOfAnotherKindArePassedOver) {
  HidDevice& device = MakeUnit();
  device.languageKey = "en";
  Load("{\"LEDs\": [1, \"x\", null, [], {\"ByteIndex\": 1, \"BitIndex\": 1},"
       " {\"ByteIndex\": 1, \"BitIndex\": 2, \"Condition\": \"A:L2,Bool\", \"ConditionValue\": \"maybe\"},"
       " " + Entry("\"ByteIndex\": 1, \"BitIndex\": 3", "A:L1,Bool", ", \"en\": \"Gear\", \"de\": \"Fahrwerk\"") + ","
       " " + Entry("\"ByteIndex\": 1, \"BitIndex\": 4", "A:L1,Bool", ", \"en\": 5") + "]}");
  ASSERT_EQ(device.BindingCount(), 2u);
  EXPECT_EQ(device.bindings[0]->bitIndex, 3);
  EXPECT_EQ(device.bindings[0]->conditions->text, "Gear");
  EXPECT_EQ(device.bindings[1]->conditions->text, "");  // a description that is not a string
  EXPECT_EQ(variableRegistry.entries().size(), 1u);     // A:L2 made no condition

  device.ClearBindings();
  device.languageKey.clear();  // no key: no description, whatever the entry holds
  Load(Profile({Entry("\"ByteIndex\": 1, \"BitIndex\": 3", "A:L1,Bool", ", \"\": \"Gear\"")}));
  EXPECT_EQ(device.bindings.at(0)->conditions->text, "");
  device.ClearBindings();

  for (const char* profile : {"{}", "{\"LEDs\": {}}", "{\"LEDs\": \"x\"}", "[]"}) {
    Load(profile);
    EXPECT_EQ(device.BindingCount(), 0u) << profile;
  }
  EXPECT_TRUE(variableRegistry.entries().empty());
}

TEST_F(Bindings, TenThousandEntriesOfEveryWrongKindLoadTheGoodOnes) {
  const std::string kinds[] = {
      Entry("\"ByteIndex\": 1, \"BitIndex\": 0"),          Entry("\"ByteIndex\": \"1\", \"BitIndex\": 0"),
      Entry("\"ByteIndex\": 1, \"BitIndex\": 2.5"),        Entry("\"ByteIndex\": 1e3, \"BitIndex\": 0"),
      "{\"ByteIndex\": 1, \"BitIndex\": 0, \"Condition\": 7, \"ConditionValue\": true}",
      "{\"ByteIndex\": 1, \"BitIndex\": 0, \"Conditions\": {\"Condition\": \"A:L1,Bool\"}}",
      Entry("\"ByteIndex\": 2, \"BitIndex\": 0", "A:L1,Bool", ", \"ConditionLogic\": 5, \"en\": []"),
      "\"entry\"",
  };
  std::vector<std::string> entries;
  for (int i = 0; i < 10000; ++i) entries.push_back(kinds[i % 8]);
  HidDevice& device = MakeUnit();
  device.languageKey = "en";
  Load(Profile(entries));
  EXPECT_EQ(device.BindingCount(), 2500u);  // the first and the seventh kind
  EXPECT_EQ(device.bindings.back()->conditions->isOr, false);
  EXPECT_EQ(variableRegistry.FindVariable("A:L1,Bool")->refCount, 2500);
  device.ClearBindings();
}

TEST_F(Bindings, AGateReplacingAGateReleasesItsVariablesBeforeAcquiringAnew) {
  HidDevice& device = MakeUnit();
  const std::string gate = Profile({Entry("\"ByteIndex\": 0, \"BitIndex\": 0", "A:G,Bool")});
  Load(gate);
  const std::size_t before = Mark();
  Load(gate);
  EXPECT_EQ(Described(before, 4), (std::vector<std::string>{
                                      "RequestDataOnSimObject: request 1, definition 1, object 0, period 0, flags 0, "
                                      "origin 0, interval 0, limit 0",
                                      "ClearDataDefinition: definition 1",
                                      "AddToDataDefinition: definition 1, \"G\" in \"Bool\", type 1, epsilon 0, "
                                      "datum id unused",
                                      "RequestDataOnSimObject: request 1, definition 1, object 0, period 4, flags 1, "
                                      "origin 0, interval 0, limit 0",
                                  }));
  // A profile without a gate keeps the gate.
  Load(Profile({}));
  EXPECT_NE(device.gateBinding, nullptr);
  EXPECT_EQ(device.BindingCount(), 0u);
}

TEST_F(Output, TheReportGoesOutOnlyWhenABitChanged) {
  HidDevice& device = MakeUnit();
  Load(Profile({Entry("\"ByteIndex\": 1, \"BitIndex\": 0"), Entry("\"ByteIndex\": 4, \"BitIndex\": 3", "A:L2,Bool")}));
  device.RefreshLeds();  // nothing holds, nothing is lit: no change
  Set("A:L1,Bool", 1);
  device.RefreshLeds();
  device.RefreshLeds();
  Set("A:L2,Bool", 1);
  device.RefreshLeds();
  Set("A:L1,Bool", 0);
  device.RefreshLeds();
  EXPECT_EQ(SentReports(), (std::vector<Report>{Lit({0x01}), Lit({0x01, 0, 0, 0x08}), Lit({0, 0, 0, 0x08})}));
  device.AllLedsOff();  // sent even when it changes nothing but the buffer
  device.AllLedsOff();
  EXPECT_EQ(SentReports().size(), 5u);
  EXPECT_EQ(virtual_unit::CurrentReport(), Lit({}));
  device.ClearBindings();
}

TEST_F(Output, TheGateDarkensEverythingOnceAndLightsAgainInOneReport) {
  HidDevice& device = MakeUnit();
  Load(Profile({Entry("\"ByteIndex\": 0, \"BitIndex\": 0", "A:G,Bool"), Entry("\"ByteIndex\": 1, \"BitIndex\": 0"),
                Entry("\"ByteIndex\": 2, \"BitIndex\": 7")}));
  Set("A:L1,Bool", 1);
  device.RefreshLeds();  // the gate never held: nothing
  device.RefreshLeds();
  EXPECT_TRUE(SentReports().empty());
  Set("A:G,Bool", 1);
  device.RefreshLeds();
  EXPECT_TRUE(device.gateOpen);
  Set("A:G,Bool", 0);
  device.RefreshLeds();
  device.RefreshLeds();
  EXPECT_FALSE(device.gateOpen);
  Set("A:G,Bool", 1);
  device.RefreshLeds();
  EXPECT_EQ(SentReports(), (std::vector<Report>{Lit({0x01, 0x80}), Lit({}), Lit({0x01, 0x80})}));
  device.ClearBindings();
  device.gateBinding.reset();
}

TEST_F(Output, TwoBindingsAtOnePositionSendAtEveryRefreshAndTheLaterDecides) {
  HidDevice& device = MakeUnit();
  device.showBindings = true;
  Load(Profile({Entry("\"ByteIndex\": 3, \"BitIndex\": 1", "A:L1,Bool"),
                Entry("\"ByteIndex\": 3, \"BitIndex\": 1", "A:L2,Bool")}));
  EXPECT_EQ(device.BindingCount(), 2u);
  Set("A:L1,Bool", 1);
  const std::size_t before = Mark();
  for (int i = 0; i < 3; ++i) device.RefreshLeds();
  EXPECT_EQ(SentReports(), std::vector<Report>(3, Lit({})));
  // Each refresh lights the bit (no text: nothing shown) and clears it again.
  const std::string off = "Text: type 0x102, 10 s, event 4, 200 bytes, \"NimbraBridge|Velk_Throttle: X__X\"";
  EXPECT_EQ(Described(before, 3), std::vector<std::string>(3, off));
  device.ClearBindings();
}

TEST_F(Output, ChangesAreAnnouncedOnlyWhileShowBindingsIsOn) {
  HidDevice& device = MakeUnit();
  device.languageKey = "en";
  Load(Profile({Entry("\"ByteIndex\": 1, \"BitIndex\": 0", "A:L1,Bool", ", \"en\": \"Gear down\"")}));
  const std::size_t before = Mark();
  Set("A:L1,Bool", 1);
  device.RefreshLeds();  // off: silent
  Set("A:L1,Bool", 0);
  device.RefreshLeds();
  device.showBindings = true;
  Set("A:L1,Bool", 1);
  device.RefreshLeds();
  Set("A:L1,Bool", 0);
  device.RefreshLeds();
  const std::vector<std::string> lines = Described(before, 2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"NimbraBridge|Velk_Throttle: Gear down\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"NimbraBridge|Velk_Throttle: X_Gear down_X\""), std::string::npos) << lines[1];
  EXPECT_EQ(SentReports().size(), 4u);
  device.ClearBindings();
}

TEST_F(Output, WithoutAUnitOrWithFailingSendsTheBitsStillFollow) {
  for (const char* script : {"", "attach 1209:0001 unit/0; fail send"}) {
    SCOPED_TRACE(script);
    std::string error;
    virtual_unit::Reset();
    ASSERT_TRUE(virtual_unit::RunScript(script, &error)) << error;
    HidDevice& device = MakeUnit();
    Load(Profile({Entry("\"ByteIndex\": 2, \"BitIndex\": 2")}));
    Set("A:L1,Bool", 1);
    device.RefreshLeds();
    EXPECT_EQ(device.ledReport[2], 0x04);
    EXPECT_TRUE(virtual_unit::Reports().empty());
    unit.reset();
    EXPECT_EQ(virtual_unit::OpenHandles(), 0u);
  }
}

}  // namespace
