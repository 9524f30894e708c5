// The settings file read from a temporary folder, a table of what pilots
// write. On Windows the same table goes through the system's profile calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/settings.h"

namespace {

namespace fs = std::filesystem;

struct SettingsCase {
  const char* what;
  const char* content;         // null: no file
  UnitIds unit;                // the pair that comes out
  const char* problemHas;      // null: no problem; else a part of the problem text
};

constexpr UnitIds kOther{0x16C0, 0x05DF};

const SettingsCase kCases[] = {
    {"no file", nullptr, kDefaultUnitIds, nullptr},
    {"empty file", "", kDefaultUnitIds, nullptr},
    {"no unit section", "[Simulator]\nPackagesPath=D:\\MSFS\n", kDefaultUnitIds, nullptr},
    {"section without the keys", "[Unit]\nName=mine\n", kDefaultUnitIds, nullptr},
    {"hexadecimal pair", "[Unit]\nVendorId=0x16C0\nProductId=0x05DF\n", kOther, nullptr},
    {"decimal pair, other case, blanks", "[unit]\r\n  vendorid = 5824 \r\nPRODUCTID=1503\r\n", kOther, nullptr},
    {"quoted values", "[Unit]\nVendorId=\"0x16c0\"\nProductId='0X05df'\n", kOther, nullptr},
    {"first of duplicated keys and sections",
     "[Unit]\nVendorId=0x16C0\nVendorId=0x0001\nProductId=0x05DF\n[Unit]\nProductId=0x0002\n", kOther, nullptr},
    {"product missing", "[Unit]\nVendorId=0x16C0\n", kDefaultUnitIds, "[Unit] ProductId is missing."},
    {"vendor missing", "[Unit]\nProductId=0x05DF\n", kDefaultUnitIds, "[Unit] VendorId is missing."},
    {"zero", "[Unit]\nVendorId=0\nProductId=0x05DF\n", kDefaultUnitIds, "[Unit] VendorId=0 is not a number"},
    {"negative", "[Unit]\nVendorId=-5824\nProductId=0x05DF\n", kDefaultUnitIds, "VendorId=-5824"},
    {"above 0xFFFF", "[Unit]\nVendorId=0x16C0\nProductId=0x10000\n", kDefaultUnitIds, "ProductId=0x10000"},
    {"2^40", "[Unit]\nVendorId=1099511627776\nProductId=1\n", kDefaultUnitIds, "VendorId=1099511627776"},
    {"blank inside", "[Unit]\nVendorId=0x16 C0\nProductId=0x05DF\n", kDefaultUnitIds, "VendorId=0x16 C0"},
    {"bare 0x", "[Unit]\nVendorId=0x\nProductId=0x05DF\n", kDefaultUnitIds, "VendorId=0x "},
    {"garbage", "[Unit]\nVendorId=\x01\xff\xfe junk\nProductId=0x05DF\n", kDefaultUnitIds, "VendorId="},
    {"both wrong, both named", "[Unit]\nVendorId=abc\nProductId=0x1FFFF\n", kDefaultUnitIds,
     "[Unit] VendorId=abc is not a number from 1 to 0xFFFF. [Unit] ProductId=0x1FFFF is not"},
};

class SettingsTest : public ::testing::TestWithParam<SettingsCase> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nimbra_settings_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File() const { return (dir_ / kSettingsFileName).string(); }

  fs::path dir_;
};

TEST_P(SettingsTest, GivesThePairOrTheDefaultWithTheProblemNamed) {
  const SettingsCase& c = GetParam();
  if (c.content != nullptr) std::ofstream(File(), std::ios::binary) << c.content;
  const BridgeSettings settings = ReadSettings(File());
  EXPECT_EQ(settings.unit, c.unit) << c.what;
  if (c.problemHas == nullptr) {
    EXPECT_EQ(settings.problem, "") << c.what;
  } else {
    EXPECT_NE(settings.problem.find(c.problemHas), std::string::npos) << c.what << ": " << settings.problem;
    EXPECT_EQ(settings.problem.rfind(File() + ": ", 0), 0u) << "names the file: " << settings.problem;
    EXPECT_NE(settings.problem.find("The unit 1209:0001 is used."), std::string::npos) << settings.problem;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsTest, ::testing::ValuesIn(kCases));

TEST(SettingsFileTest, AFolderInThePlaceOfTheFileIsNoFile) {
  const fs::path dir = fs::temp_directory_path() / ("nimbra_settings_folder" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / kSettingsFileName);
  const BridgeSettings settings = ReadSettings((dir / kSettingsFileName).string());
  EXPECT_EQ(settings.unit, kDefaultUnitIds);
  EXPECT_EQ(settings.problem, "");
  fs::remove_all(dir);
}

TEST(SettingsFileTest, PackagesPathIsTakenAsWritten) {
  const fs::path dir = fs::temp_directory_path() / ("nimbra_settings_packages" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const std::string file = (dir / kSettingsFileName).string();
  std::ofstream(file) << "[Simulator]\nPackagesPath=\"D:\\My Games\\MSFS\"\n";
  EXPECT_EQ(ReadSettings(file).packagesPath, "D:\\My Games\\MSFS");
  fs::remove_all(dir);
}

}  // namespace
