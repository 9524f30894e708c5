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
    {"hexadecimal pair as lsusb prints it", "[Unit]\nVendorId=16C0\nProductId=05DF\n", kOther, nullptr},
    {"with 0x, other case, blanks", "[unit]\r\n  vendorid = 0x16C0 \r\nPRODUCTID=0X05df\r\n", kOther, nullptr},
    {"quoted values", "[Unit]\nVendorId=\"16c0\"\nProductId='0X05DF'\n", kOther, nullptr},
    {"digits alone are hexadecimal", "[Unit]\nVendorId=1209\nProductId=0x1209\n", UnitIds{0x1209, 0x1209}, nullptr},
    {"upper-case prefix", "[Unit]\nVendorId=0X1209\nProductId=0001\n", UnitIds{0x1209, 0x0001}, nullptr},
    {"first of duplicated keys and sections",
     "[Unit]\nVendorId=16C0\nVendorId=0001\nProductId=05DF\n[Unit]\nProductId=0002\n", kOther, nullptr},
    {"product missing", "[Unit]\nVendorId=16C0\n", kDefaultUnitIds, "[Unit] ProductId is missing."},
    {"vendor missing", "[Unit]\nProductId=05DF\n", kDefaultUnitIds, "[Unit] VendorId is missing."},
    {"not a hexadecimal digit", "[Unit]\nVendorId=12G9\nProductId=05DF\n", kDefaultUnitIds,
     "[Unit] VendorId=12G9 is not a hexadecimal number from 0001 to FFFF."},
    {"zero", "[Unit]\nVendorId=0\nProductId=05DF\n", kDefaultUnitIds, "[Unit] VendorId=0 is not"},
    {"negative", "[Unit]\nVendorId=-1\nProductId=05DF\n", kDefaultUnitIds, "VendorId=-1 is not"},
    {"above FFFF", "[Unit]\nVendorId=16C0\nProductId=10000\n", kDefaultUnitIds, "ProductId=10000 is not"},
    {"2^40", "[Unit]\nVendorId=10000000000\nProductId=1\n", kDefaultUnitIds, "VendorId=10000000000"},
    {"blank inside", "[Unit]\nVendorId=16 C0\nProductId=05DF\n", kDefaultUnitIds, "VendorId=16 C0"},
    {"bare 0x", "[Unit]\nVendorId=0x\nProductId=05DF\n", kDefaultUnitIds, "VendorId=0x "},
    {"0x twice", "[Unit]\nVendorId=0x0x16C0\nProductId=05DF\n", kDefaultUnitIds, "VendorId=0x0x16C0 "},
    {"garbage", "[Unit]\nVendorId=\x01\xff\xfe junk\nProductId=05DF\n", kDefaultUnitIds, "VendorId="},
    {"both wrong, both named", "[Unit]\nVendorId=xyz\nProductId=1FFFF\n", kDefaultUnitIds,
     "[Unit] VendorId=xyz is not a hexadecimal number from 0001 to FFFF. [Unit] ProductId=1FFFF is not"},
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
