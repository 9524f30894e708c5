// Finding the simulators' package roots on the pilot's machine: Steam's list
// of libraries in every shape it can take, the Proton prefixes found through
// it on Linux, and each root as the file calls take it (a prefix's drive on
// Linux, the code page on Windows).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/simulator_folders.h"
#include "platform/steam_libraries.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using Paths = std::vector<std::string>;

struct VdfCase {
  const char* what;
  std::string text;
  Paths paths;
};

TEST(SteamLibraryPaths, EveryShapeOfTheList) {
  const VdfCase cases[] = {
      {"current layout",
       "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/p/.local/share/Steam\"\n\t\t\"label\"\t\"\"\n"
       "\t\t\"apps\"\n\t\t{\n\t\t\t\"1250410\"\t\t\"123\"\n\t\t}\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\"/mnt/games/Steam\"\n"
       "\t\t\"apps\"\n\t\t{\n\t\t\t\"2537590\"\t\"9\"\n\t\t}\n\t}\n}\n",
       {"/home/p/.local/share/Steam", "/mnt/games/Steam"}},
      {"older layout", "\"LibraryFolders\"\n{\n\"TimeNextStatsReport\" \"1\"\n\"ContentStatsID\" \"-5\"\n\"1\" \"/mnt/old\"\n}",
       {"/mnt/old"}},
      {"escapes and comments", "// made by hand\n\"libraryfolders\" { \"0\" { \"path\" \"/a \\\"b\\\"\\\\c\" } }",
       {"/a \"b\"\\c"}},
      {"a path key at the top is no library", "\"path\" \"/nowhere\"", {}},
      {"broken after the first", "\"libraryfolders\" { \"0\" { \"path\" \"/first\" } \"1\" { \"path\" /second } }",
       {"/first"}},
      {"an unterminated string", "\"libraryfolders\" { \"0\" { \"path\" \"/first", {}},
      {"too many closing braces", "\"libraryfolders\" { \"0\" { \"path\" \"/a\" } } } \"1\" { \"path\" \"/b\" }",
       {"/a"}},
      {"a thousand nested blocks", std::string(1000, '{'), {}},
      {"deep nesting", [] {
         std::string text = "\"l\" {";
         for (int i = 0; i < 100; ++i) text += " \"k\" {";
         return text + " \"path\" \"/deep\"";
       }(),
       {}},
      {"empty", "", {}},
      {"binary", std::string("\0\xff\"\x01", 4), {}},
      {"larger than any list",
       "\"libraryfolders\" { \"0\" { \"path\" \"/a\" } }" + std::string(platform::kMaxLibraryFoldersBytes, ' '), {}},
  };
  for (const VdfCase& c : cases) EXPECT_EQ(platform::SteamLibraryPaths(c.text), c.paths) << c.what;
}

struct RootCase {
  const char* what;
  std::string winePrefix;
  std::string root;
  const char* path;  // null: refused
};

TEST(PackageRootForFileCalls, EachRootAsTheFileCallsTakeIt) {
#ifdef _WIN32
  // The code page of the tests under wine holds Western European letters.
  const RootCase cases[] = {
      {"ASCII", "", "D:\\MSFS", "D:\\MSFS"},
      {"letters of the code page", "", "C:\\users\\J\xC3\xBCrgen \xC3\x9Cnal\\MSFS", "C:\\users\\J\xFCrgen \xDCnal\\MSFS"},
      {"a letter the code page lacks", "", "C:\\users\\\xE6\x97\xA5\\MSFS", nullptr},
      {"not UTF-8", "", "C:\\users\\J\xFCrgen", nullptr},
      {"empty", "", "", nullptr},
  };
#else
  const RootCase cases[] = {
      {"no prefix: as written", "", "C:\\MSFS", "C:\\MSFS"},
      {"C: is the prefix's drive_c", "/s/pfx", "C:\\Users\\steamuser\\MSFS", "/s/pfx/drive_c/Users/steamuser/MSFS"},
      {"lower-case drive, forward slashes", "/s/pfx", "c:/MSFS Packages", "/s/pfx/drive_c/MSFS Packages"},
      {"another drive through dosdevices", "/s/pfx", "D:\\MSFS", "/s/pfx/dosdevices/d:/MSFS"},
      {"non-ASCII bytes pass as they are", "/s/pfx", "C:\\J\xC3\xBCrgen", "/s/pfx/drive_c/J\xC3\xBCrgen"},
      {"a POSIX root in a prefix", "/s/pfx", "/mnt/msfs", "/mnt/msfs"},
      {"a drive alone", "/s/pfx", "C:", "C:"},
      {"empty", "/s/pfx", "", nullptr},
  };
#endif
  for (const RootCase& c : cases) {
    const platform::SimulatorFolder place{2020, "test", "/x/", c.winePrefix};
    std::string path = "unchanged";
    EXPECT_EQ(platform::PackageRootForFileCalls(place, c.root, &path), c.path != nullptr) << c.what;
    EXPECT_EQ(path, c.path != nullptr ? c.path : "unchanged") << c.what;
  }
}

#ifndef _WIN32
// A home folder with Steam in it, for the length of one test.
class FakeHome : public testsupport::TempFolder {
 public:
  FakeHome() : testsupport::TempFolder("nimbra-steam-") {
    if (const char* home = std::getenv("HOME")) savedHome_ = home;
    if (const char* data = std::getenv("XDG_DATA_HOME")) savedData_ = data;
    setenv("HOME", path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
  }
  ~FakeHome() {
    setenv("HOME", savedHome_.c_str(), 1);
    if (!savedData_.empty()) setenv("XDG_DATA_HOME", savedData_.c_str(), 1);
  }
  std::string Path() const { return path().string(); }

 private:
  std::string savedHome_;
  std::string savedData_;
};

TEST(SimulatorFolders, TheProtonPrefixesOfEverySteamLibrary) {
  FakeHome home;
  const std::string steam = home.Path() + "/.local/share/Steam";
  fs::create_directories(home.Path() + "/.steam");
  fs::create_directory_symlink(steam, home.Path() + "/.steam/steam");
  fs::create_directories(home.Path() + "/games/lib");
  // Steam's own folder listed again under its other name, a library that is
  // not there, and one that is.
  home.Write(".local/share/Steam/steamapps/libraryfolders.vdf",
             "\"libraryfolders\" { \"0\" { \"path\" \"" + home.Path() + "/.steam/steam\" } \"1\" { \"path\" \"" +
                 home.Path() + "/gone\" } \"2\" { \"path\" \"" + home.Path() + "/games/lib\" } }");
  std::vector<std::string> folders;
  std::vector<std::string> prefixes;
  std::vector<int> years;
  for (const platform::SimulatorFolder& place : platform::SimulatorFolders(platform::PathText::SystemCodePage)) {
    folders.push_back(place.folder);
    prefixes.push_back(place.winePrefix);
    years.push_back(place.year);
  }
  const std::string lib = home.Path() + "/games/lib";
  const std::string roaming = "/pfx/drive_c/users/steamuser/AppData/Roaming/";
  EXPECT_EQ(folders, (Paths{steam + "/steamapps/compatdata/2537590" + roaming + "Microsoft Flight Simulator 2024/",
                            lib + "/steamapps/compatdata/2537590" + roaming + "Microsoft Flight Simulator 2024/",
                            steam + "/steamapps/compatdata/1250410" + roaming + "Microsoft Flight Simulator/",
                            lib + "/steamapps/compatdata/1250410" + roaming + "Microsoft Flight Simulator/"}));
  EXPECT_EQ(prefixes[1], lib + "/steamapps/compatdata/2537590/pfx");
  EXPECT_EQ(years, (std::vector<int>{2024, 2024, 2020, 2020}));
}

TEST(PackageRootForFileCalls, APrefixsFoldersInAnyCase) {
  FakeHome home;
  fs::create_directories(home.Path() + "/pfx/drive_c/users/steamuser/AppData");
  fs::create_directories(home.Path() + "/pfx/drive_c/Games");
  fs::create_directories(home.Path() + "/pfx/drive_c/games");
  const platform::SimulatorFolder place{2024, "test", "/x/", home.Path() + "/pfx"};
  std::string path;
  ASSERT_TRUE(platform::PackageRootForFileCalls(place, "C:\\USERS\\SteamUser\\appdata\\New", &path));
  EXPECT_EQ(path, home.Path() + "/pfx/drive_c/users/steamuser/AppData/New") << "a missing piece stays as written";
  ASSERT_TRUE(platform::PackageRootForFileCalls(place, "C:\\Games", &path));
  EXPECT_EQ(path, home.Path() + "/pfx/drive_c/Games") << "the exact name wins";
}

TEST(SimulatorFolders, NoSteamNoPlaces) {
  FakeHome home;
  EXPECT_TRUE(platform::SimulatorFolders(platform::PathText::SystemCodePage).empty());
  // A list that is a folder, or a loop of links, is no list.
  fs::create_directories(home.Path() + "/.local/share/Steam/steamapps/libraryfolders.vdf");
  fs::create_symlink(home.Path() + "/loop-a", home.Path() + "/loop-b");
  fs::create_symlink(home.Path() + "/loop-b", home.Path() + "/loop-a");
  fs::create_directories(home.Path() + "/.steam");
  fs::create_symlink(home.Path() + "/loop-a", home.Path() + "/.steam/steam");
  EXPECT_EQ(platform::SimulatorFolders(platform::PathText::SystemCodePage).size(), 2u) << "Steam's own folder alone";
}
#endif

}  // namespace
