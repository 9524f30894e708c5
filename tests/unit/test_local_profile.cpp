// The LOCAL profile lookup against folders made for each case: the keys an
// aircraft is known by, the package root a simulator's UserCfg.opt names,
// and which file the lookup picks, in what order, and that nothing outside
// the candidate folders is ever picked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_access.h"
#include "platform/simulator_folders.h"
#include "profiles/local_profile.h"
#include "support/temp_folder.h"
#include "profiles/package_index.h"

namespace {

namespace fs = std::filesystem;

// The lookup's folders, made afresh for each case.
class TempFolder : public testsupport::TempFolder {
 public:
  TempFolder() : testsupport::TempFolder("nimbra-local-") {}
};

struct KeysCase {
  const char* reported;
  std::vector<std::string> keys;
};

TEST(AircraftKeys, FromEveryFormTheSimulatorsReport) {
  const KeysCase cases[] = {
      {"SimObjects\\Airplanes\\Asobo_C172sp_classic\\aircraft.CFG", {"Asobo_C172sp_classic"}},
      {"SimObjects\\Airplanes\\asobo_c172sp_g1000\\presets\\asobo\\c172sp_avionics_cargo\\config\\aircraft.CFG",
       {"c172sp_avionics_cargo", "asobo_c172sp_g1000"}},
      {"c:\\users\\x\\appdata\\local\\packages\\m\\localstate\\streamedpackages\\asobo-aircraft-h125\\content\\"
       "simobjects\\airplanes\\asobo_h125\\presets\\asobo\\h125_rescue\\config\\aircraft.cfg",
       {"h125_rescue", "asobo_h125"}},
      {"D:/MSFS/Community/pkg/SimObjects/Rotorcraft/heli/presets/maker/heli_fire/config/aircraft.cfg",
       {"heli_fire", "heli"}},
      // The same name twice is one key.
      {"SimObjects\\Airplanes\\a400m\\presets\\inibuilds\\A400M\\config\\aircraft.CFG", {"A400M"}},
      {"C:\\FSX\\SimObjects\\Airplanes\\Airbus_A321\\Airbus_A321.air", {"Airbus_A321"}},
      {"C:\\Aircraft\\Plane\\aircraft.cfg", {"Plane"}},
      {"SimObjects\\Airplanes\\Plane\\", {"Plane"}},
      {"SimObjects\\aircraft.cfg", {}},
      {"aircraft.cfg", {}},
      {"", {}},
      {"\\\\//\\", {}},
      {"SimObjects\\Airplanes\\..\\aircraft.cfg", {}},
      {"SimObjects\\Airplanes\\x\\presets\\m\\..\\config\\aircraft.cfg", {"x"}},
      {"SimObjects\\Airplanes\\C:\\aircraft.cfg", {}},
  };
  for (const KeysCase& c : cases) EXPECT_EQ(AircraftKeys(c.reported), c.keys) << c.reported;
}

struct UserCfgCase {
  const char* what;
  std::string content;  // empty with `noFile`: no file at all
  bool noFile;
  const char* root;  // null: no root
};

std::string Utf16Le(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes;
}

TEST(InstalledPackagesPath, EveryShapeOfUserCfg) {
  const UserCfgCase cases[] = {
      {"plain", "Version 1\nInstalledPackagesPath \"D:\\MSFS\"\n", false, "D:\\MSFS"},
      {"blanks, no quotes, CRLF", "\r\n  InstalledPackagesPath   E:\\Sim Packages  \r\n", false, "E:\\Sim Packages"},
      {"other case of the key", "installedpackagespath \"F:\\P\"", false, "F:\\P"},
      {"UTF-8 mark", "\xEF\xBB\xBFInstalledPackagesPath \"G:\\P\"\n", false, "G:\\P"},
      {"UTF-16", Utf16Le("A 1\r\nInstalledPackagesPath \"H:\\P\"\r\n"), false, "H:\\P"},
      {"UTF-16, not ASCII, to UTF-8",
       Utf16Le("InstalledPackagesPath \"H:\\J") + std::string("\xFC\x00\x3D\xD8\x00\xDE\"\x00", 8), false,
       "H:\\J\xC3\xBC\xF0\x9F\x98\x80"},
      {"UTF-16, a surrogate alone", Utf16Le("InstalledPackagesPath \"H:\\") + std::string("\x3D\xD8X\x00", 4), false,
       nullptr},
      {"missing", "", true, nullptr},
      {"empty", "", false, nullptr},
      {"without the line", "Graphics {\n}\n", false, nullptr},
      {"a longer key", "InstalledPackagesPathOld \"D:\\Old\"\n", false, nullptr},
      {"empty value", "InstalledPackagesPath \"\"\n", false, nullptr},
      {"key alone", "InstalledPackagesPath\n", false, nullptr},
  };
  for (const UserCfgCase& c : cases) {
    TempFolder folder;
    const std::string file = (folder.path() / platform::kUserCfgFileName).string();
    if (!c.noFile) folder.Write(platform::kUserCfgFileName, c.content);
    std::string root = "unchanged";
    EXPECT_EQ(platform::ReadInstalledPackagesPath(file, &root), c.root != nullptr) << c.what;
    EXPECT_EQ(root, c.root != nullptr ? c.root : "unchanged") << c.what;
  }
  TempFolder folder;
  EXPECT_FALSE(platform::ReadInstalledPackagesPath(folder.path().string(), nullptr)) << "a folder";
}

// The tree every lookup case runs against. Titles tell the files apart.
constexpr char kFile[] = "Velk_Throttle_Config.json";

void MakeTree(const TempFolder& t) {
  const std::string f = std::string("/") + kFile;
  t.Write("Planes/Parts/aircraft.cfg", "");
  t.Write("Planes/Parts/corvane_profiles" + f, "parts");
  t.Write("bridge/corvane_profiles/parts" + f, "own parts");
  t.Write("bridge/corvane_profiles/C172" + f, "own c172");
  t.Write("bridge/corvane_profiles/Airframe" + f, "own airframe");
  t.Write("bridge/corvane_profiles/cargo/other.json", "not the profile");
  t.Write("bridge/" + std::string(kFile), "global");
  t.Write("bridge/Escaped" + f, "outside");
  // Packages: a file where a package would be, a package without the
  // aircraft, two with it (name order decides), one in Official only.
  t.Write("msfs/Community/0-file", "");
  t.Write("msfs/Community/a-empty/SimObjects/Airplanes/Jet/aircraft.cfg", "");
  t.Write("msfs/Community/C-second/SimObjects/Airplanes/Jet/corvane_profiles" + f, "community C");
  t.Write("msfs/Community/b-first/SimObjects/AIRPLANES/jet/Corvane_Profiles" + f, "community b");
  t.Write("msfs/Official/OneStore/asobo/SimObjects/Airplanes/Jet/corvane_profiles" + f, "official");
  t.Write("msfs/Official/OneStore/asobo/SimObjects/Airplanes/OfficialOnly/corvane_profiles" + f, "official only");
  t.Write("msfs/Community/pkg/SimObjects/Airplanes/Trap/corvane_profiles", "a file named like the folder");
  t.Write("afile", "");
}

// Read as the bridge reads its paths (they may be Windows texts here).
std::string Content(const std::string& path) {
  std::FILE* file = platform::OpenFileForReading(path);
  if (file == nullptr) return "(does not open)";
  std::string content;
  char buffer[256];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) content.append(buffer, got);
  std::fclose(file);
  return content;
}

struct LookupCase {
  const char* what;
  std::string reported;
  std::vector<std::string> roots;  // relative to the tree; "" means none
  const char* picked;              // the picked file's content; null: nothing found (GLOBAL)
};

TEST(LocalProfileCandidates, PicksTheFirstFileInLookupOrderAndNothingOutside) {
  TempFolder t;
  MakeTree(t);
  const std::string msfs = (t.path() / "msfs").string();
  const std::string parts = (t.path() / "Planes" / "Parts" / "aircraft.cfg").string();
  // The aircraft's own folder takes only backslashes; the tree's path as a Windows text.
  std::string partsReported = parts;
  for (char& c : partsReported) {
    if (c == '/') c = '\\';
  }
  const LookupCase cases[] = {
      {"the aircraft's own folder wins over the own folder", partsReported, {msfs}, "parts"},
      {"the own folder, key matched without regard to case",
       "SimObjects\\Airplanes\\c172\\aircraft.CFG",
       {msfs},
       "own c172"},
      {"the airframe key when the preset has none",
       "SimObjects\\Airplanes\\AIRFRAME\\presets\\m\\cargo\\config\\aircraft.cfg",
       {msfs},
       "own airframe"},
      {"a Community package in name order, pieces in any case",
       "SimObjects\\Airplanes\\JET\\aircraft.cfg",
       {msfs},
       "community b"},
      {"an official package", "simobjects\\airplanes\\officialonly\\aircraft.cfg", {msfs}, "official only"},
      {"the absolute form gives the same package path",
       "c:\\x\\streamedpackages\\p\\content\\SimObjects\\Airplanes\\Jet\\aircraft.cfg",
       {msfs},
       "community b"},
      {"the first root that has it",
       "SimObjects\\Airplanes\\Jet\\aircraft.cfg",
       {(t.path() / "nowhere").string(), (t.path() / "afile").string(), msfs},
       "community b"},
      {"no roots", "SimObjects\\Airplanes\\Jet\\aircraft.cfg", {}, nullptr},
      {"a key .. never reaches the bridge's folder", "SimObjects\\Airplanes\\..\\aircraft.cfg", {msfs}, nullptr},
      {"a .. as the folder holding the file", "SimObjects\\Airplanes\\Escaped\\..\\aircraft.cfg", {msfs}, nullptr},
      {"a folder named like the file is not the file", "SimObjects\\Airplanes\\cargo\\aircraft.cfg", {msfs}, nullptr},
      {"a file where a folder should be", "SimObjects\\Airplanes\\Trap\\aircraft.cfg", {msfs}, nullptr},
      {"no SimObjects: no package path", "Airplanes\\Jet\\aircraft.cfg", {msfs}, nullptr},
      {"only separators", "\\\\\\", {msfs}, nullptr},
      {"5,000 characters", "SimObjects\\Airplanes\\" + std::string(5000, 'x') + "\\aircraft.cfg", {msfs}, nullptr},
      {"nothing anywhere", "SimObjects\\Airplanes\\Unknown\\aircraft.cfg", {msfs}, nullptr},
  };
  const std::string ownBase = (t.path() / "bridge" / "").string();
  for (const LookupCase& c : cases) {
    const LocalProfileQuery query{kFile, AircraftProfileDirOf(c.reported), ownBase, c.roots};
    const std::vector<ProfileCandidate> all = LocalProfileCandidates(query, false);
    const std::vector<ProfileCandidate> first = LocalProfileCandidates(query, true);
    ASSERT_FALSE(first.empty()) << c.what;
    const std::string& picked = first.back().found;
    EXPECT_EQ(picked.empty() ? std::string("(none)") : Content(picked), c.picked ? c.picked : "(none)") << c.what;
    // The full list starts the same way and its first find is the same file.
    std::string firstFound;
    for (const ProfileCandidate& candidate : all) {
      if (firstFound.empty()) firstFound = candidate.found;
      if (!candidate.found.empty()) {
        const std::string content = Content(candidate.found);
        EXPECT_TRUE(content != "outside" && content != "global") << c.what << ": " << candidate.found;
      }
    }
    EXPECT_EQ(firstFound, picked) << c.what;
    EXPECT_LE(first.size(), all.size()) << c.what;
  }
}

TEST(LocalProfileCandidates, ListsThePlacesInLookupOrder) {
  TempFolder t;
  MakeTree(t);
  const std::string dir = AircraftProfileDirOf("SimObjects\\Airplanes\\jet\\presets\\m\\c172\\config\\aircraft.cfg");
  const LocalProfileQuery query{kFile, dir, t.Base(), {(t.path() / "msfs").string()}};
  const std::vector<ProfileCandidate> all = LocalProfileCandidates(query, false);
  std::vector<CandidateKind> kinds;
  for (const ProfileCandidate& candidate : all) kinds.push_back(candidate.kind);
  std::vector<CandidateKind> expected = {CandidateKind::AircraftFolder, CandidateKind::OwnFolder,
                                         CandidateKind::OwnFolder};
  expected.insert(expected.end(), 6, CandidateKind::Package);  // the package folders of the one root
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(all[0].path, dir + kFile);
  EXPECT_NE(all[1].path.find("c172"), std::string::npos);
  EXPECT_NE(all[2].path.find("jet"), std::string::npos);
}

// A kept index changes how often packages are listed, never what is found.
TEST(LocalProfileCandidates, AKeptIndexFindsWhatAFreshLookupFinds) {
  TempFolder t;
  MakeTree(t);
  const std::string msfs = (t.path() / "msfs").string();
  const char* const reported[] = {
      "SimObjects\\Airplanes\\JET\\aircraft.CFG",          "simobjects\\airplanes\\officialonly\\aircraft.cfg",
      "SimObjects\\Airplanes\\Trap\\aircraft.cfg",         "SimObjects\\Airplanes\\Unknown\\aircraft.cfg",
      "SimObjects\\Airplanes\\a\\presets\\m\\jet\\config\\aircraft.cfg", "SimObjects\\aircraft.cfg",
  };
  // Package folders whose last change is older than the index's settling
  // time, so that the second round uses the kept listing.
  constexpr std::chrono::milliseconds kSettle{100};
  std::this_thread::sleep_for(kSettle + std::chrono::milliseconds(20));
  PackageIndex index(std::chrono::nanoseconds(kSettle).count());
  for (int round = 0; round < 2; ++round) {
    for (const char* aircraft : reported) {
      LocalProfileQuery query{kFile, AircraftProfileDirOf(aircraft), t.Base(), {msfs}};
      const std::vector<ProfileCandidate> fresh = LocalProfileCandidates(query, false);
      query.packageIndex = &index;
      const std::vector<ProfileCandidate> kept = LocalProfileCandidates(query, false);
      ASSERT_EQ(kept.size(), fresh.size()) << aircraft;
      for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].path, fresh[i].path) << aircraft;
        EXPECT_EQ(kept[i].found, fresh[i].found) << aircraft;
      }
    }
  }
  EXPECT_EQ(index.Listings(), 2u) << "each package folder once";
}

}  // namespace
