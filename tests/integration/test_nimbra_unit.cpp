// nimbra-unit's commands in-process against virtual_unit: what reaches the
// unit, the messages and the exit statuses, for the default pair and for a
// pair the settings file names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "unit_tool.h"
#include "virtual_unit.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Lit(std::vector<std::pair<int, int>> positions) {
  Bytes report(65, 0);
  for (auto [byte, bit] : positions) report[static_cast<std::size_t>(byte)] |= static_cast<std::uint8_t>(1u << bit);
  return report;
}

constexpr char kOtherPair[] = "[Unit]\nVendorId=16C0\nProductId=05DF\n";

struct ToolCase {
  const char* what;
  const char* settings;  // the settings file's text; null: no file
  const char* attached;  // virtual_unit set-up
  std::vector<std::string> args;
  int status;
  const char* outHas;  // a part of standard output, or ""
  const char* errHas;  // a part of standard error, or "" for none at all
  std::vector<Bytes> reports;
};

const ToolCase kCases[] = {
    {"set lights exactly the positions", nullptr, "attach 1209:0001 u/0", {"set", "1/0", "4/3", "2/7"}, 0,
     "lit 1/0 4/3 2/7", "", {Lit({{1, 0}, {4, 3}, {2, 7}})}},
    {"off darkens", nullptr, "attach 1209:0001 u/0", {"off"}, 0, "every LED off", "", {Bytes(65, 0)}},
    {"the settings' pair is opened", kOtherPair, "attach 1209:0001 d/0; attach 16C0:05DF o/0", {"set", "3/1"}, 0, "",
     "", {Lit({{3, 1}})}},
    {"the default pair is not the named one", kOtherPair, "attach 1209:0001 d/0", {"off"}, 1, "",
     "no HID interface is 16C0:05DF; is the unit plugged in?", {}},
    {"a wrong pair is said and the default pair stays", "[Unit]\nVendorId=0\nProductId=0x05DF\n",
     "attach 1209:0001 d/0; attach 16C0:05DF o/0", {"off"}, 0, "", "VendorId=0 is not a hexadecimal number", {Bytes(65, 0)}},
    {"no unit", nullptr, "reset", {"off"}, 1, "", "no HID interface is 1209:0001", {}},
    {"the first interface decides, pathless or not", nullptr, "attach 1209:0001 - u/1", {"off"}, 2, "",
     "1209:0001 at (no path) did not open", {}},
    {"failing open", nullptr, "attach 1209:0001 u/0; fail open", {"set", "1/1"}, 2, "", "1209:0001 at u/0 did not open",
     {}},
    {"failing init", nullptr, "attach 1209:0001 u/0; fail init", {"off"}, 2, "", "hid_init failed", {}},
    {"a report not taken", nullptr, "attach 1209:0001 u/0; fail send", {"off"}, 2, "", "the unit took no report", {}},
    {"a bit above the last byte's last", nullptr, "attach 1209:0001 u/0", {"set", "1/0", "4/4"}, 2, "",
     "'4/4' is not an LED position", {}},
    {"a byte above the last", nullptr, "attach 1209:0001 u/0", {"set", "5/0"}, 2, "", "'5/0' is not an LED position",
     {}},
    {"byte 0 is no LED", nullptr, "attach 1209:0001 u/0", {"set", "0/0"}, 2, "", "'0/0' is not", {}},
    {"bit 8", nullptr, "attach 1209:0001 u/0", {"set", "1/8"}, 2, "", "'1/8' is not", {}},
    {"signs and blanks", nullptr, "attach 1209:0001 u/0", {"set", "+1/-0"}, 2, "", "'+1/-0' is not", {}},
    {"no slash", nullptr, "attach 1209:0001 u/0", {"set", "12"}, 2, "", "'12' is not", {}},
    {"set without positions", nullptr, "attach 1209:0001 u/0", {"set"}, 2, "", "set needs at least one", {}},
    {"no command", nullptr, "attach 1209:0001 u/0", {}, 2, "", "no command", {}},
    {"unknown command", nullptr, "attach 1209:0001 u/0", {"blink"}, 2, "", "unknown command 'blink'", {}},
    {"off takes nothing", nullptr, "attach 1209:0001 u/0", {"off", "now"}, 2, "", "off takes no argument", {}},
    {"a delay out of range", nullptr, "attach 1209:0001 u/0", {"test", "--delay", "60001"}, 2, "",
     "--delay needs milliseconds", {}},
    {"help", nullptr, "attach 1209:0001 u/0", {"--help"}, 0, "Exit status: 0 done, 1 no unit found, 2 usage", "", {}},
    {"list marks the bridge's interface", kOtherPair, "attach 1209:0001 d/0; attach 16C0:05DF o/0 o/1", {"list"}, 0,
     "the bridge looks for 16C0:05DF, named in ", "", {}},
    {"list without the unit", nullptr, "attach 16C0:05DF o/0", {"list"}, 1, "  16C0:05DF  \"\" \"\"  usage",
     "no HID interface is 1209:0001", {}},
    {"udev rule of the named pair", kOtherPair, "reset", {"udev-rule"}, 0,
     "SUBSYSTEM==\"hidraw\", KERNEL==\"hidraw*\", ATTRS{idVendor}==\"16c0\", ATTRS{idProduct}==\"05df\", "
     "TAG+=\"uaccess\"\n",
     "", {}},
};

class NimbraUnit : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nimbra_unit_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    virtual_unit::Reset();
  }
  void TearDown() override {
    fs::remove_all(dir_);
    virtual_unit::Reset();
  }

  // Runs the tool with its settings file in the test's folder.
  int Run(const char* settings, std::vector<std::string> args) {
    const std::string file = (dir_ / "Nimbra_Bridge.ini").string();
    fs::remove(file);
    if (settings != nullptr) std::ofstream(file, std::ios::binary) << settings;
    args.insert(args.begin(), {"--settings", file});
    out_.str("");
    err_.str("");
    const nimbra_unit::Console console{out_, err_, [this](unsigned ms) { pauses_.push_back(ms); }};
    return nimbra_unit::Run(args, console);
  }

  std::vector<Bytes> Reports() const {
    std::vector<Bytes> bytes;
    for (const auto& report : virtual_unit::Reports()) bytes.push_back(report.bytes);
    return bytes;
  }

  fs::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
  std::vector<unsigned> pauses_;
};

TEST_F(NimbraUnit, CommandsSendWhatTheySayAndEndWithTheirStatus) {
  for (const ToolCase& c : kCases) {
    SCOPED_TRACE(c.what);
    virtual_unit::Reset();
    std::string error;
    ASSERT_TRUE(virtual_unit::RunScript(c.attached, &error)) << error;
    EXPECT_EQ(Run(c.settings, c.args), c.status);
    EXPECT_NE(out_.str().find(c.outHas), std::string::npos) << out_.str();
    if (*c.errHas == '\0') {
      EXPECT_EQ(err_.str(), "");
    } else {
      EXPECT_NE(err_.str().find(c.errHas), std::string::npos) << err_.str();
      EXPECT_EQ(err_.str().find('\n'), err_.str().size() - 1) << "one line: " << err_.str();
    }
    EXPECT_EQ(Reports(), c.reports);
    EXPECT_EQ(virtual_unit::OpenHandles(), 0u);
    EXPECT_EQ(virtual_unit::UnfreedEnumerations(), 0u);
    EXPECT_EQ(virtual_unit::CallCount(virtual_unit::Call::Init), virtual_unit::CallCount(virtual_unit::Call::Exit));
  }
}

TEST_F(NimbraUnit, TestLightsEachPositionInTurnThenAllThenNone) {
  virtual_unit::Attach(0x16C0, 0x05DF, {std::string("o/0")});
  ASSERT_EQ(Run(kOtherPair, {"test", "--delay", "25"}), 0) << err_.str();
  std::vector<Bytes> expected;
  std::string lines = "nimbra-unit: testing 16C0:05DF\n";
  for (int byte = 1; byte <= 4; ++byte) {
    for (int bit = 0; bit <= (byte == 4 ? 3 : 7); ++bit) {
      expected.push_back(Lit({{byte, bit}}));
      lines += "byte " + std::to_string(byte) + " bit " + std::to_string(bit) + "\n";
    }
  }
  expected.push_back(Lit({{1, 0}}));
  for (int i = 1; i <= 4; ++i) expected.back()[static_cast<std::size_t>(i)] = i == 4 ? 0x0F : 0xFF;
  expected.push_back(Bytes(65, 0));
  EXPECT_EQ(Reports(), expected);
  EXPECT_EQ(out_.str(), lines + "all 28 positions\nnone\n");
  EXPECT_EQ(pauses_, std::vector<unsigned>(29, 25u));
}

TEST_F(NimbraUnit, ListShowsEveryInterfaceAndMarksTheFirstOfThePair) {
  virtual_unit::Attach(0x1209, 0x0001, {std::string("d/0")});
  virtual_unit::Attach(0x16C0, 0x05DF, {std::nullopt, std::string("o/1")});
  ASSERT_EQ(Run(kOtherPair, {"list"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "nimbra-unit: the bridge looks for 16C0:05DF, named in " + (dir_ / "Nimbra_Bridge.ini").string() +
                            "\n"
                            "  1209:0001  \"\" \"\"  usage 0000:0000  interface 0  d/0\n"
                            "* 16C0:05DF  \"\" \"\"  usage 0000:0000  interface 1  (no path)\n"
                            "  16C0:05DF  \"\" \"\"  usage 0000:0000  interface 2  o/1\n");
}

// A settings file named relative to the working folder is that file, also
// where the system's profile calls would look for a bare name elsewhere.
TEST_F(NimbraUnit, ARelativeSettingsFileIsTakenFromTheWorkingFolder) {
  std::ofstream(dir_ / "relative.ini", std::ios::binary) << kOtherPair;
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  const nimbra_unit::Console console{out_, err_, [](unsigned) {}};
  const int status = nimbra_unit::Run({"--settings", "relative.ini", "udev-rule"}, console);
  fs::current_path(before);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out_.str().find("ATTRS{idVendor}==\"16c0\", ATTRS{idProduct}==\"05df\""), std::string::npos) << out_.str();
}

}  // namespace
