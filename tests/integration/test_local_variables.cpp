// Local ("L:") variables over the real link against simhost: a profile with
// "LocalVariables": true registers them under their "L:" name as FLOAT64 and
// their values light and darken LEDs, a Bool one rounded toward zero; without
// the member they are refused with the box and never registered, and a set
// without it neither takes nor gives back another set's local variable; a
// reload to a profile without the member gives them back. And simhost keeps
// local variables as the simulator does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "commands.h"
#include "support/boxes.h"
#include "support/unit_session.h"

using namespace testsupport;

namespace {

using LocalVariables = UnitSession;

constexpr const char* kLeds =
    R"("LEDs": [{"ByteIndex": 1, "BitIndex": 0, "Condition": "L:IT_CAUTION,Bool", "ConditionValue": true},
                {"ByteIndex": 2, "BitIndex": 1, "Condition": "L:IT_LEVEL,Number", "ConditionValue": ">0.25"}])";

std::string ProfileWith(const std::string& member) { return "{" + member + kLeds + "}"; }

const std::string kRefusedBoxes =
    "NimbraBridge: Could not add condition variable 'L:IT_CAUTION,Bool' to MSFS processing.\n"
    "NimbraBridge: Could not add condition variable 'L:IT_LEVEL,Number' to MSFS processing.\n";

// Hands what arrives to the bridge's own dispatcher until `done` holds.
bool DispatchUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + 3s;
  while (!done()) {
    if (SimConnect_CallDispatch(simHandle, DispatchCallback, nullptr) < 0) return false;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::vector<std::string> Only(const std::vector<std::string>& lines, const std::string& kind) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    if (line.compare(0, kind.size(), kind) == 0) kept.push_back(line);
  }
  return kept;
}

TEST_F(LocalVariables, WithTheMemberTheyRegisterAsFloat64AndTheirValuesDriveTheLeds) {
  HidDevice& device = MakeUnit();
  const std::size_t before = Mark();
  testing::internal::CaptureStderr();
  Load(ProfileWith(R"("LocalVariables": true, )"));
  EXPECT_EQ(Only(Described(before, 4), "AddToDataDefinition"),
            (std::vector<std::string>{
                "AddToDataDefinition: definition 1, \"L:IT_CAUTION\" in \"Bool\", type 4, epsilon 0, datum id unused",
                "AddToDataDefinition: definition 2, \"L:IT_LEVEL\" in \"Number\", type 4, epsilon 0, datum id unused"}));
  // The simulator creates both with 0 and raises nothing.
  EXPECT_EQ(host.Value("L:IT_CAUTION", "Bool"), std::optional<double>(0.0));

  const struct {
    double caution;
    double level;
    std::int32_t cautionRead;  // the Bool condition's value, rounded toward zero
    std::uint8_t byte1;
    std::uint8_t byte2;
  } steps[] = {
      {1.0, 0.0, 1, 0x01, 0x00}, {0.5, 0.5, 0, 0x00, 0x02}, {1.9, 0.1, 1, 0x01, 0x00},
      {-0.5, 0.3, 0, 0x00, 0x02}, {2.0, 0.0, 2, 0x00, 0x00},  // 2 is not TRUE
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.caution);
    host.SetValue("L:IT_CAUTION", "number", step.caution);
    host.SetValue("L:IT_LEVEL", "whatever", step.level);
    const SimVariable* caution = variableRegistry.FindVariable("L:IT_CAUTION,Bool");
    const SimVariable* level = variableRegistry.FindVariable("L:IT_LEVEL,Number");
    ASSERT_TRUE(caution && caution->intValue && level && level->floatValue);
    ASSERT_TRUE(DispatchUntil([&] { return *caution->intValue == step.cautionRead && *level->floatValue == step.level; }));
    device.RefreshLeds();
    EXPECT_EQ(device.ledReport[1], step.byte1);
    EXPECT_EQ(device.ledReport[2], step.byte2);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // no exception, no box
  device.ClearBindings();
}

TEST_F(LocalVariables, WithoutTheMemberEachIsRefusedWithItsBoxAndNeverRegistered) {
  HidDevice& device = MakeUnit();
  for (const char* member : {"", R"("LocalVariables": false, )", R"("LocalVariables": "true", )",
                             R"("LocalVariables": 1, )", R"("LocalVariables": null, )"}) {
    SCOPED_TRACE(member);
    const std::size_t before = Mark();
    testing::internal::CaptureStderr();
    Load(ProfileWith(member));
    const std::string boxes = testing::internal::GetCapturedStderr();
    if (kBoxesOnStderr) {
      EXPECT_EQ(boxes, kRefusedBoxes);
    }
    EXPECT_EQ(Mark(), before + 1);  // nothing was sent between the two marks
    EXPECT_TRUE(variableRegistry.entries().empty());
    EXPECT_TRUE(variableRegistry.usedDefineIds().empty());
    EXPECT_EQ(device.BindingCount(), 2u);  // the bindings stay, always dark
    device.ClearBindings();
  }
}

TEST_F(LocalVariables, AReloadToAProfileWithoutTheMemberGivesThemBack) {
  HidDevice& device = MakeUnit();
  Load(ProfileWith(R"("LocalVariables": true, )"));
  ASSERT_EQ(variableRegistry.entries().size(), 2u);
  const std::size_t before = Mark();
  testing::internal::CaptureStderr();
  device.ClearBindings();
  Load(ProfileWith(""));
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, kRefusedBoxes);
  }
  EXPECT_EQ(Only(Described(before, 4), "ClearDataDefinition"),
            (std::vector<std::string>{"ClearDataDefinition: definition 1", "ClearDataDefinition: definition 2"}));
  EXPECT_TRUE(variableRegistry.entries().empty());
  device.ClearBindings();
}

TEST_F(LocalVariables, ASetWithoutTheMemberNeitherTakesNorGivesBackAnothersLocalVariable) {
  const std::vector<Condition> conditions = {MakeCondition("L:IT_CAUTION,Bool", "TRUE").condition};
  auto on = std::make_unique<ConditionSet>(variableRegistry, "on", conditions, false, true);
  testing::internal::CaptureStderr();
  {
    ConditionSet off(variableRegistry, "off", conditions, false, false);
    EXPECT_EQ(variableRegistry.FindVariable("L:IT_CAUTION,Bool")->refCount, 1);
    EXPECT_FALSE(EvaluateConditionSet(off));
  }
  const std::string boxes = testing::internal::GetCapturedStderr();
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge: Could not add condition variable 'L:IT_CAUTION,Bool' to MSFS processing.\n");
  }
  ASSERT_NE(variableRegistry.FindVariable("L:IT_CAUTION,Bool"), nullptr);
  EXPECT_EQ(variableRegistry.FindVariable("L:IT_CAUTION,Bool")->refCount, 1);
  auto again = std::make_unique<ConditionSet>(variableRegistry, "again", conditions, false, true);
  EXPECT_EQ(variableRegistry.FindVariable("L:IT_CAUTION,Bool")->refCount, 2);
  on.reset();
  again.reset();
  EXPECT_TRUE(variableRegistry.entries().empty());
}

TEST_F(LocalVariables, ABoolValueIsRoundedTowardZero) {
  auto set = std::make_unique<ConditionSet>(variableRegistry, "", std::vector<Condition>{MakeCondition("L:IT_CAUTION,Bool", "1").condition},
                                            false, true);
  const SimVariable* variable = variableRegistry.FindVariable("L:IT_CAUTION,Bool");
  ASSERT_TRUE(variable && variable->intValue);
  const struct {
    double value;
    std::int32_t read;
  } cases[] = {{0.0, 0},
               {1.0, 1},
               {0.5, 0},
               {0.999, 0},
               {1.9, 1},
               {-0.5, 0},
               {-1.5, -1},
               {std::nan(""), 0},
               {1e12, std::numeric_limits<std::int32_t>::max()},
               {-1e12, std::numeric_limits<std::int32_t>::min()},
               {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()}};
  for (const auto& c : cases) {
    std::uint8_t bytes[8];
    std::memcpy(bytes, &c.value, sizeof bytes);
    variableRegistry.StoreValue(static_cast<std::uint32_t>(variable->defineId), bytes, sizeof bytes);
    EXPECT_EQ(*variable->intValue, c.read) << c.value;
  }
  // Four bytes are not a FLOAT64: nothing changes.
  const std::int32_t one = 1;
  variableRegistry.StoreValue(static_cast<std::uint32_t>(variable->defineId),
                              reinterpret_cast<const std::uint8_t*>(&one), sizeof one);
  EXPECT_EQ(*variable->intValue, std::numeric_limits<std::int32_t>::max());
}

TEST_F(LocalVariables, NamesTheSimulatorCannotTakeAreRefused) {
  const struct {
    std::string reference;
    bool takesAnIdentifier;  // refused by the link, not by the rule
  } cases[] = {{"L:,Bool", false}, {"L:" + std::string(300, 'X') + ",Bool", true}};
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    { ConditionSet set(variableRegistry, "", {MakeCondition(c.reference, "1").condition}, false, true); }
    const std::string boxes = testing::internal::GetCapturedStderr();
    if (kBoxesOnStderr) {
      EXPECT_EQ(boxes, "NimbraBridge: Could not add condition variable '" + c.reference + "' to MSFS processing.\n");
    }
    EXPECT_TRUE(variableRegistry.entries().empty());
    EXPECT_EQ(variableRegistry.usedDefineIds().size(), c.takesAnIdentifier ? 1u : 0u);
  }
}

TEST_F(LocalVariables, SimhostKeepsOneValuePerLocalVariableWhateverTheUnit) {
  ASSERT_GE(SimConnect_AddToDataDefinition(simHandle, 7, "L:Fresh_One", "Bool", SIMCONNECT_DATATYPE_FLOAT64, 0.0f,
                                           SIMCONNECT_UNUSED),
            0);
  Mark();
  EXPECT_EQ(host.Value("l:fresh_one", "number"), std::optional<double>(0.0));  // created with 0
  EXPECT_EQ(host.LocalVariables(), std::vector<std::string>{"L:Fresh_One"});
  simhost::CommandRunner runner(host, std::cout);
  std::string error;
  ASSERT_EQ(runner.Execute("set L:FRESH_ONE percent 3", &error), simhost::CommandRunner::Result::Ok) << error;
  EXPECT_EQ(host.Value("L:Fresh_One", "Bool"), std::optional<double>(3.0));
  // A simulation variable keeps a value per unit.
  host.SetValue("PLANE ALTITUDE", "feet", 10);
  EXPECT_EQ(host.Value("PLANE ALTITUDE", "meters"), std::nullopt);
  std::ostringstream shown;
  simhost::CommandRunner show(host, shown);
  ASSERT_EQ(show.Execute("show definitions", &error), simhost::CommandRunner::Result::Ok);
  EXPECT_NE(shown.str().find("\"L:Fresh_One\" in \"Bool\", type 4, value 3"), std::string::npos) << shown.str();
}

}  // namespace
