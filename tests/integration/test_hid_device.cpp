// The unit's life against virtual_unit and simhost: which HID interface is
// opened, what a failing HID library does, what destruction sends and gives
// back, and the device's menu sub-items. The bridge's own start-up and
// shutdown with the unit are shown end to end (tests/e2e/test_bridge_unit.sh).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/menu.h"
#include "support/boxes.h"
#include "support/unit_session.h"

using namespace testsupport;

namespace {

using Devices = UnitSession;
using virtual_unit::Call;

const std::vector<std::uint8_t> kDark(kLedReportSize, 0);
const std::array<std::uint8_t, kLedReportSize> kZeroBuffer{};

TEST_F(Devices, InitialiseOpensTheFirstMatchingRecordOnly) {
  const struct {
    const char* script;  // after a reset: what is attached and what fails
    bool opened;
    std::vector<std::string> opens;  // the hid_open_path calls
  } cases[] = {
      {"attach 1209:0001 a", true, {"hid_open_path(\"a\") = handle 1"}},
      {"attach 1209:0001 a b", true, {"hid_open_path(\"a\") = handle 1"}},
      {"attach 1209:0001 a b; fail open", false, {"hid_open_path(\"a\") = failed"}},
      {"attach 1209:0001 - b", false, {}},
      {"attach 1209:0002 x; attach 1209:0001 a", true, {"hid_open_path(\"a\") = handle 1"}},
      {"attach 1209:0002 x", false, {}},
      {"attach 1209:0001 a; fail enumerate", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    std::string error;
    virtual_unit::Reset();
    ASSERT_TRUE(virtual_unit::RunScript(c.script, &error)) << error;
    HidDevice& device = MakeUnit();
    EXPECT_EQ(device.hidHandle != nullptr, c.opened);
    std::vector<std::string> opens;
    for (const std::string& call : virtual_unit::Calls()) {
      if (call.rfind("hid_open_path", 0) == 0) opens.push_back(call);
    }
    EXPECT_EQ(opens, c.opens);
    EXPECT_EQ(virtual_unit::UnfreedEnumerations(), 0u);
    unit.reset();
    EXPECT_EQ(virtual_unit::OpenHandles(), 0u);
  }
}

TEST_F(Devices, AFailingHidLibraryShowsOneBoxPerDeviceAndRefreshesNothing) {
  virtual_unit::FailCall(Call::Init);
  testing::internal::CaptureStderr();
  HidDevice& device = MakeUnit();
  HidDevice second(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits);
  second.Initialise();
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    const std::string box = "NimbraBridge|HidDevice: Failed to Initialize Main HID Interface (thus inoperative)\n";
    EXPECT_EQ(boxes, box + box);
  }
  EXPECT_EQ(virtual_unit::CallCount(Call::Init), 2u);  // tried again for the second device
  EXPECT_EQ(virtual_unit::CallCount(Call::Enumerate), 0u);

  Load(Profile({Entry("\"ByteIndex\": 1, \"BitIndex\": 0", "A:L1,Bool", ", \"en\": \"Gear\"")}));
  device.showBindings = true;
  Set("A:L1,Bool", 1);
  const std::size_t from = Mark();
  device.RefreshLeds();
  EXPECT_EQ(device.ledReport, kZeroBuffer);
  device.ledReport[2] = 0x40;
  device.AllLedsOff();
  EXPECT_EQ(device.ledReport, kZeroBuffer);
  EXPECT_TRUE(virtual_unit::Reports().empty());
  Mark();
  EXPECT_EQ(Described(from, 1), std::vector<std::string>{kMarkLine});  // no announcement either
}

TEST_F(Devices, DestructionDarkensClosesAndGivesEverythingBack) {
  HidDevice& device = MakeUnit();
  Load(Profile({Entry("\"ByteIndex\": 2, \"BitIndex\": 5"), Entry("\"ByteIndex\": 0, \"BitIndex\": 0", "A:G,Bool")}));
  Set("A:L1,Bool", 1);
  Set("A:G,Bool", 1);
  device.RefreshLeds();
  ASSERT_EQ(virtual_unit::CurrentReport()[2], 0x20);
  const std::size_t before = Mark();

  unit.reset();
  const std::vector<std::string> calls = virtual_unit::Calls();
  const std::vector<std::string> tail(calls.end() - 3, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"hid_send_feature_report(handle 1, 65 bytes) = 65", "hid_close(handle 1)",
                                             "hid_exit() = 0"}));
  EXPECT_EQ(virtual_unit::CurrentReport(), kDark);
  EXPECT_FALSE(hidInitialised);
  EXPECT_TRUE(variableRegistry.entries().empty());
  // The gate's variable is given back first, then the LED's, then the two
  // sub-items are deleted.
  EXPECT_EQ(Described(before, 6), (std::vector<std::string>{
                                      "RequestDataOnSimObject: request 2, definition 2, object 0, period 0, flags 0, "
                                      "origin 0, interval 0, limit 0",
                                      "ClearDataDefinition: definition 2",
                                      "RequestDataOnSimObject: request 1, definition 1, object 0, period 0, flags 0, "
                                      "origin 0, interval 0, limit 0",
                                      "ClearDataDefinition: definition 1",
                                      "MenuDeleteSubItem: under [6] [8]",
                                      "MenuDeleteSubItem: under [6] [9]",
                                  }));
}

TEST_F(Devices, TheLibraryIsShutDownOnlyWhenOneDeviceIsLeft) {
  for (std::size_t count : {1u, 2u}) {
    SCOPED_TRACE(count);
    virtual_unit::Reset();
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
    for (std::size_t i = 0; i < count; ++i) {
      devices.push_back(std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId, "Velk_Throttle", kSupportedUnitLedLimits));
      devices.back()->Initialise();
    }
    // As the bridge's shutdown does: every device destroyed, then the list emptied.
    for (auto& device : devices) device.reset();
    devices.clear();
    EXPECT_EQ(virtual_unit::CallCount(Call::Exit), count == 1 ? 1u : 0u);
    hidInitialised = false;
  }
}

TEST_F(Devices, MenuSubItemsCarryTheTypeIdentifierAndTheShowHideState) {
  std::unique_ptr<Device> supported = std::make_unique<HidDevice>(kSupportedUnitVendorId, kSupportedUnitProductId,
                                                                  "Velk_Throttle", kSupportedUnitLedLimits);
  std::unique_ptr<Device> other = std::make_unique<HidDevice>(0x1234, 0x5678, "Other", kSupportedUnitLedLimits);
  const std::unique_ptr<Device> empty;
  const std::size_t start = Mark();
  EXPECT_EQ(AddDeviceMenu(supported), S_OK);
  supported->showBindings = true;
  EXPECT_EQ(SetShowHideItem(supported), S_OK);
  supported->showBindings = false;
  EXPECT_EQ(SetShowHideItem(supported), S_OK);
  EXPECT_EQ(AddDeviceMenu(other), S_OK);
  EXPECT_EQ(AddDeviceMenu(empty), 1);
  EXPECT_EQ(SetShowHideItem(empty), 1);

  EXPECT_EQ(Described(start, 10), (std::vector<std::string>{
                                      "MenuAddSubItem: under [6] \"Velk_Throttle - Reload Bindings\" [8], data 0",
                                      "MenuDeleteSubItem: under [6] [9]",
                                      "MenuAddSubItem: under [6] \"Velk_Throttle - Show Bindings\" [9], data 0",
                                      "MenuDeleteSubItem: under [6] [9]",
                                      "MenuAddSubItem: under [6] \"Velk_Throttle - Hide Bindings\" [9], data 0",
                                      "MenuDeleteSubItem: under [6] [9]",
                                      "MenuAddSubItem: under [6] \"Velk_Throttle - Show Bindings\" [9], data 0",
                                      "MenuAddSubItem: under [6] \"Other - Reload Bindings\" [1], data 0",
                                      "MenuDeleteSubItem: under [6] [2]",
                                      "MenuAddSubItem: under [6] \"Other - Show Bindings\" [2], data 0",
                                  }));
  EXPECT_EQ(other->typeId, 0);
  EXPECT_EQ(supported->typeId, 7);
}

// Only the supported pair (the settings' pair, else the default one) gets the
// type whose menu identifiers are 8 and 9.
TEST(DeviceType, FollowsThePairTheSettingsName) {
  constexpr UnitIds kNamed{0x16C0, 0x05DF};
  const struct {
    UnitIds device;
    UnitIds supported;
    std::int32_t typeId;
  } kCases[] = {
      {kDefaultUnitIds, kDefaultUnitIds, kSupportedUnitTypeId},
      {kNamed, kNamed, kSupportedUnitTypeId},
      {kDefaultUnitIds, kNamed, 0},
      {kNamed, kDefaultUnitIds, 0},
      {{0x16C0, 0x0001}, kNamed, 0},
      {{0x1209, 0x05DF}, kNamed, 0},
  };
  for (const auto& c : kCases) {
    const Device device(c.device.vendorId, c.device.productId, "Velk_Throttle", c.supported);
    EXPECT_EQ(device.typeId, c.typeId) << std::hex << c.device.vendorId << ":" << c.device.productId;
  }
}

}  // namespace
