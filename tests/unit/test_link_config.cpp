// Connection settings read from SimConnect.cfg files in temporary folders that
// stand in for the three places, and from the registered ports. On Windows the
// same cases run through the system's profile functions and registry, so the
// POSIX reader is held to what those functions give.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/config_places.h"
#include "platform/profile_ini.h"
#include "platform/registry_ports.h"
#include "simlink/link_config.h"
#include "support/config_places.h"

namespace {

namespace fs = std::filesystem;
using platform::AddressFamily;
using simlink::LinkConfig;
using simlink::LinkProtocol;

using testsupport::kCurrent;
using testsupport::kShared;
using testsupport::kUser;
using testsupport::Place;

class LinkConfigTest : public ::testing::Test {
 protected:
  std::string Write(Place place, const std::string& content) { return places_.Write(place, content); }

  static LinkConfig Read(std::uint32_t index = 0) {
    return simlink::ReadLinkConfig(index, simlink::ConfigFiles());
  }

  testsupport::ConfigPlaces places_{"nimbra_cfg_"};
  const fs::path dirs_[3] = {places_.dir(kShared), places_.dir(kUser), places_.dir(kCurrent)};
};

TEST_F(LinkConfigTest, NoFileGivesTheDefaults) {
  const LinkConfig config = Read();
  EXPECT_EQ(config.protocol, LinkProtocol::Pipe);
  EXPECT_EQ(config.address, "");
  EXPECT_EQ(config.port, "");
  EXPECT_EQ(config.maxReceiveSize, 41088u);
  EXPECT_FALSE(config.disableNagle);
}

TEST_F(LinkConfigTest, KeysAreReadWhateverTheirCaseBlanksAndQuotes) {
  Write(kCurrent,
        "; a simulator on another machine\r\n"
        "[simconnect]\r\n"
        "  PROTOCOL = ipv6  \r\n"
        "address=\"fd00::17\"\r\n"
        "Port\t=\t'5017'\r\n"
        "maxreceivesize=65536\r\n"
        "DisableNagle=1\r\n");
  const LinkConfig config = Read();
  EXPECT_EQ(config.protocol, LinkProtocol::IPv6);
  EXPECT_EQ(config.address, "fd00::17");
  EXPECT_EQ(config.port, "5017");
  EXPECT_EQ(config.maxReceiveSize, 65536u);
  EXPECT_TRUE(config.disableNagle);
}

TEST_F(LinkConfigTest, LaterPlacesOverrideEarlierOnesKeyByKey) {
  Write(kShared, "[SimConnect]\nProtocol=IPv4\nAddress=shared.example\nPort=1001\n");
  Write(kUser, "[SimConnect]\nAddress=user.example\n");
  Write(kCurrent, "[SimConnect]\nPort=3003\nAddress=\n");  // an empty value changes nothing
  const LinkConfig config = Read();
  EXPECT_EQ(config.protocol, LinkProtocol::IPv4);
  EXPECT_EQ(config.address, "user.example");
  EXPECT_EQ(config.port, "3003");
}

TEST_F(LinkConfigTest, PlacesThatCannotBeFoundAreSkipped) {
  Write(kShared, "[SimConnect]\nPort=shared\n");
  Write(kCurrent, "[SimConnect]\nAddress=current\n");
  platform::OverrideConfigPlaceFolders({std::nullopt, dirs_[kUser].string(), dirs_[kCurrent].string()});
  const std::vector<std::string> files = simlink::ConfigFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(fs::path(files[1]), dirs_[kCurrent] / "SimConnect.cfg");
  const LinkConfig config = Read();
  EXPECT_EQ(config.port, "");
  EXPECT_EQ(config.address, "current");
}

TEST_F(LinkConfigTest, MaxReceiveSizeOnlyGrowsComparedUnsigned) {
  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=1000\n");
  EXPECT_EQ(Read().maxReceiveSize, 41088u);

  Write(kShared, "[SimConnect]\nMaxReceiveSize=100000\n");
  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=50000\n");
  EXPECT_EQ(Read().maxReceiveSize, 100000u);

  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=-1\n");
  EXPECT_EQ(Read().maxReceiveSize, 0xFFFFFFFFu);

  Write(kShared, "");
  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=99999999999\n");
  EXPECT_EQ(Read().maxReceiveSize, 2147483647u);

  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=lots\n");
  EXPECT_EQ(Read().maxReceiveSize, 41088u);
}

TEST_F(LinkConfigTest, DisableNagleFollowsTheLastFileThatSetsIt) {
  Write(kShared, "[SimConnect]\nDisableNagle=1\n");
  Write(kCurrent, "[SimConnect]\nDisableNagle=0\n");
  EXPECT_FALSE(Read().disableNagle);

  Write(kCurrent, "[SimConnect]\nDisableNagle=\n");
  EXPECT_TRUE(Read().disableNagle);

  Write(kCurrent, "[SimConnect]\nDisableNagle=yes\n");  // not a number: 0
  EXPECT_FALSE(Read().disableNagle);
}

TEST_F(LinkConfigTest, UnknownProtocolWordLeavesTheProtocolAsItWas) {
  Write(kCurrent, "[SimConnect]\nProtocol=TCP\n");
  EXPECT_EQ(Read().protocol, LinkProtocol::Pipe);

  Write(kShared, "[SimConnect]\nProtocol=IPv4\n");
  Write(kCurrent, "[SimConnect]\nProtocol=IPv5\n");
  EXPECT_EQ(Read().protocol, LinkProtocol::IPv4);

  Write(kCurrent, "[SimConnect]\nProtocol=auto\n");
  EXPECT_EQ(Read().protocol, LinkProtocol::Pipe);
}

TEST_F(LinkConfigTest, RegisteredPortFillsAMissingPortAndAPortKeyReplacesIt) {
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv4, "4711"));
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv6, "4712"));

  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\n");
  EXPECT_EQ(Read().port, "4711");

  Write(kCurrent, "[SimConnect]\nProtocol=IPv6\n");
  EXPECT_EQ(Read().port, "4712");

  // The Port key is read after Protocol, so it wins within one section.
  Write(kCurrent, "[SimConnect]\nPort=5000\nProtocol=IPv4\n");
  EXPECT_EQ(Read().port, "5000");

  // A port from an earlier file is kept: the registry only fills an empty one.
  Write(kShared, "[SimConnect]\nPort=6000\n");
  Write(kCurrent, "[SimConnect]\nProtocol=IPv6\n");
  EXPECT_EQ(Read().port, "6000");

  // The pipe protocol never looks at the registry.
  Write(kShared, "");
  Write(kCurrent, "[SimConnect]\nProtocol=Pipe\n");
  EXPECT_EQ(Read().port, "");
}

TEST_F(LinkConfigTest, RegisteredPortLongerThanItsValueSizeIsNotRead) {
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv4, std::string(19, '7')));
  EXPECT_EQ(platform::ReadRegisteredPort(AddressFamily::IPv4), std::string(19, '7'));
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv4, std::string(20, '7')));
  EXPECT_EQ(platform::ReadRegisteredPort(AddressFamily::IPv4), "");
  EXPECT_EQ(platform::ReadRegisteredPort(AddressFamily::IPv6), "");
}

TEST_F(LinkConfigTest, SectionCheckLooksForALineInAnyPlace) {
  Write(kShared, "[SimConnect]\nProtocol=IPv4\n[SimConnect.4]\n; only a comment\n\n");
  Write(kCurrent, "[SimConnect.3]\nProtocol=IPv6\nPort=9003\n");
  const std::vector<std::string> files = simlink::ConfigFiles();
  EXPECT_TRUE(simlink::ConfigSectionPresent(3, files));
  EXPECT_FALSE(simlink::ConfigSectionPresent(4, files));  // comments and blank lines do not count
  EXPECT_FALSE(simlink::ConfigSectionPresent(5, files));
  EXPECT_FALSE(simlink::ConfigSectionPresent(0xFFFFFFFEu, files));
  EXPECT_TRUE(simlink::ConfigSectionPresent(0, {}));
  EXPECT_TRUE(simlink::ConfigSectionPresent(0xFFFFFFFFu, {}));

  const LinkConfig three = Read(3);
  EXPECT_EQ(three.protocol, LinkProtocol::IPv6);
  EXPECT_EQ(three.port, "9003");
  EXPECT_EQ(Read(0).protocol, LinkProtocol::IPv4);
}

TEST_F(LinkConfigTest, IndexAllOnesReadsNoFile) {
  Write(kCurrent, "[SimConnect.4294967295]\nProtocol=IPv4\nPort=1\n[SimConnect]\nProtocol=IPv6\n");
  const LinkConfig config = Read(0xFFFFFFFFu);
  EXPECT_EQ(config.protocol, LinkProtocol::Pipe);
  EXPECT_EQ(config.port, "");
}

TEST_F(LinkConfigTest, EmptyAndBinaryFilesGiveTheDefaults) {
  Write(kShared, "");
  std::string binary;
  std::mt19937 random(7);
  for (int i = 0; i < 100000; ++i) binary += static_cast<char>(random() % 256);
  Write(kCurrent, binary);
  const LinkConfig config = Read();
  EXPECT_EQ(config.protocol, LinkProtocol::Pipe);
  EXPECT_EQ(config.maxReceiveSize, 41088u);
  EXPECT_FALSE(simlink::ConfigSectionPresent(3, simlink::ConfigFiles()));
}

TEST_F(LinkConfigTest, EnormousFileIsReadWithoutTrouble) {
  std::string content;
  content.reserve(9u << 20);
  for (int i = 0; i < 200000; ++i) content += "[Other" + std::to_string(i) + "]\nKey=value value value\n";
  content += "Long=" + std::string(1u << 20, 'x') + "\n";
  content += "[SimConnect]\nProtocol=IPv4\nPort=1234\n";
  Write(kCurrent, content);
  const LinkConfig config = Read();
  EXPECT_EQ(config.protocol, LinkProtocol::IPv4);
  EXPECT_EQ(config.port, "1234");
}

TEST_F(LinkConfigTest, FirstSectionAndFirstKeyWin) {
  Write(kCurrent,
        "[SimConnect]\nPort=first\nport=second\n"
        "[Other]\nAddress=other\n"
        "[SIMCONNECT]\nAddress=second-section\nPort=third\n");
  const LinkConfig config = Read();
  EXPECT_EQ(config.port, "first");
  EXPECT_EQ(config.address, "");  // only the first section of the name is read
}

TEST_F(LinkConfigTest, LongValuesAreCutToTheValueBuffer) {
  const std::string exact(2047, 'a');
  Write(kCurrent, "[SimConnect]\nAddress=" + exact + "\nPort=" + std::string(5000, '9') + "\n");
  LinkConfig config = Read();
  EXPECT_EQ(config.address, exact);
  EXPECT_EQ(config.port, std::string(2047, '9'));

  // Quotes around a value at the buffer's edge: the opening one always goes;
  // the closing one goes only when the rest fits, and then takes one more
  // character with it.
  Write(kCurrent, "[SimConnect]\nAddress=\"" + std::string(2045, 'q') + "\"\nPort=\"" + std::string(2047, 'q') +
                      "\"\n");
  config = Read();
  EXPECT_EQ(config.address, std::string(2045, 'q'));
  EXPECT_EQ(config.port, std::string(2046, 'q'));
  Write(kCurrent, "[SimConnect]\nPort=\"" + std::string(2048, 'q') + "\"\n");
  EXPECT_EQ(Read().port, std::string(2047, 'q'));
}

// The reader's own rules, seen through the calls the settings use.
TEST_F(LinkConfigTest, ProfileReaderFollowsTheProfileRules) {
  const std::string file = Write(kCurrent,
                                 "\xEF\xBB\xBF[ Spaced ]  trailing\n"
                                 "k = v\n"
                                 "[Mac]\rK=mac\rJ=j\r"
                                 "[Quotes]\nA=\"\nB=\"\"\nC=\"x\nD='x\"\nE=\"a\"b\"\n"
                                 "[Names]\nAlone\n=x\n[Unclosed\nAfter=1\n"
                                 "[Comments]\n;k=v\n   ; also\n"
                                 "[Big]\nLongKey=" + std::string(40, 'b') + "\n" +
                                 std::string("[Zero]\nValue=cut\0junk\nName\0junk=77\n", 35));
  char value[64];
  auto read = [&](const char* section, const char* key) {
    platform::ReadProfileString(file, section, key, value, sizeof(value));
    return std::string(value);
  };
  EXPECT_EQ(read("Spaced", "K"), "v");
  EXPECT_EQ(read("mac", "k"), "mac");
  EXPECT_EQ(read("Mac", "J"), "j");
  EXPECT_EQ(read("Quotes", "A"), "\"");
  EXPECT_EQ(read("Quotes", "B"), "");
  EXPECT_EQ(read("Quotes", "C"), "\"x");
  EXPECT_EQ(read("Quotes", "D"), "'x\"");
  EXPECT_EQ(read("Quotes", "E"), "a\"b");
  EXPECT_EQ(read("Names", "After"), "1");  // "[Unclosed" is no header
  EXPECT_EQ(read("Unclosed", "After"), "");
  EXPECT_EQ(read("Comments", "k"), "");
  EXPECT_EQ(read("Zero", "Value"), "cut");  // a zero byte ends a value ...
  EXPECT_EQ(read("Zero", "Name"), "77");    // ... and a name

  char lines[30];
  std::fill(std::begin(lines), std::end(lines), '#');
  EXPECT_EQ(platform::ReadProfileSection(file, "Names", lines, sizeof(lines)), 27u);
  EXPECT_EQ(std::string(lines, 28), std::string("Alone\0=x\0[Unclosed\0After=1\0\0", 28));
  EXPECT_EQ(platform::ReadProfileSection(file, "Big", lines, sizeof(lines)), 28u);  // cut: size - 2
  EXPECT_EQ(lines[28], '\0');
  EXPECT_EQ(lines[29], '\0');
  EXPECT_EQ(platform::ReadProfileSection(file, "Comments", lines, sizeof(lines)), 0u);
  EXPECT_EQ(platform::ReadProfileSection(file, "Missing", lines, sizeof(lines)), 0u);
}

// Without the override: the current directory's file is read.
TEST_F(LinkConfigTest, RealPlacesIncludeTheCurrentDirectory) {
  platform::ClearConfigPlaceFoldersOverride();
  const std::vector<std::string> files = simlink::ConfigFiles();
  ASSERT_FALSE(files.empty());
  for (std::size_t i = 0; i + 1 < files.size(); ++i) {
    if (fs::exists(files[i])) GTEST_SKIP() << files[i] << " exists on this machine";
  }
  const fs::path previous = fs::current_path();
  fs::current_path(dirs_[kCurrent]);
  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\nPort=4321\n");
  const LinkConfig config = Read();
  const std::vector<std::string> filesHere = simlink::ConfigFiles();
  fs::current_path(previous);
  EXPECT_EQ(fs::path(filesHere.back()), dirs_[kCurrent] / "SimConnect.cfg");
  EXPECT_EQ(config.protocol, LinkProtocol::IPv4);
  EXPECT_EQ(config.port, "4321");
}

#ifdef _WIN32
// The registry value as an installer or a user would write it.
TEST_F(LinkConfigTest, RegistryValueWrittenWithRegIsRead) {
  const char* key = "\"HKCU\\SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk\"";
  ASSERT_EQ(std::system((std::string("reg add ") + key + " /v SimConnect_Port_IPv4 /t REG_SZ /d 4711 /f >NUL").c_str()),
            0);
  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\n");
  const LinkConfig config = Read();
  std::system((std::string("reg delete ") + key + " /v SimConnect_Port_IPv4 /f >NUL").c_str());
  EXPECT_EQ(config.port, "4711");
  EXPECT_EQ(platform::ReadRegisteredPort(AddressFamily::IPv4), "");
}
#endif

}  // namespace
