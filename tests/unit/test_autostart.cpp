// nimbra-autostart on the exe.xml files pilots have: each case starts from one
// file (or none), runs one command in-process and checks the exit code, what
// the file holds afterwards and the backup. A refused file must be byte for
// byte what it was, with no backup beside it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

#include "autostart.h"
#include "exe_xml.h"
#include "platform/edit_lock.h"
#include "platform/utf8_files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kExe = "C:\\Users\\P\xC3\xAFlot\\Nimbra Bridge\\Nimbra_Bridge.exe";  // "Pïlot"

const std::string kOther =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<SimBase.Document Type=\"Launch\" version=\"1,0\">\r\n"
    "  <Descr>Launch</Descr>\r\n"
    "  <!-- keep me -->\r\n"
    "  <Launch.Addon>\r\n"
    "    <Name>Other Add-on</Name>\r\n"
    "    <Disabled>True</Disabled>\r\n"
    "    <Path>C:\\Tools &amp; More\\other.exe</Path>\r\n"
    "  </Launch.Addon>\r\n"
    "</SimBase.Document>\r\n";

std::string Ours(const std::string& disabled, const std::string& path, const std::string& more = "") {
  return "  <Launch.Addon>\r\n    <Name>Nimbra Bridge</Name>\r\n    <Disabled>" + disabled +
         "</Disabled>\r\n    <Path>" + path + "</Path>\r\n" + more + "  </Launch.Addon>\r\n";
}

std::string WithOurs(const std::string& ours) {
  std::string text = kOther;
  text.insert(text.find("</SimBase.Document>"), ours);
  return text;
}

std::string Utf16(const std::string& ascii) {
  std::string wide = "\xFF\xFE";
  for (char c : ascii) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

const std::string& Huge() {
  static const std::string huge = [] {
  std::string entries;
  for (int i = 0; entries.size() < 5u * 1024 * 1024; ++i) {
    entries += "  <Launch.Addon>\r\n    <Name>Add-on " + std::to_string(i) +
               "</Name>\r\n    <Path>C:\\a\\" + std::to_string(i) + ".exe</Path>\r\n  </Launch.Addon>\r\n";
  }
  return WithOurs(entries);
  }();
  return huge;
}

enum class Start { Missing, Text, Folder };

struct Case {
  const char* name;
  Start start;
  std::string text;
  std::vector<std::string> command;
  int code;
  int oursAfter;                  // entries of ours afterwards; -1: the file is as it was
  std::vector<std::string> kept;  // texts that must still be in the file
  std::string disabledAfter = "False";
  std::string manualLoadAfter = "False";
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

// A folder of the test's own; a read-only exe.xml in it is made writable
// again so that it can be removed.
class TempFolder : public testsupport::TempFolder {
 public:
  TempFolder() : testsupport::TempFolder("nimbra_autostart_") {}
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(path() / "exe.xml", fs::perms::owner_write, fs::perm_options::add, ignored);
  }
};

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunTool(std::vector<std::string> arguments) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = autostart::Run(arguments, "", out, err);
  return {code, out.str(), err.str()};
}

class AutostartFile : public testing::TestWithParam<Case> {};

TEST_P(AutostartFile, BehavesAsThePilotExpects) {
  const Case& c = GetParam();
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  if (c.start == Start::Text) Write(file, c.text);
  if (c.start == Start::Folder) fs::create_directory(file);
  std::vector<std::string> arguments = c.command;
  arguments.insert(arguments.end(), {"--file", Utf8(file), "--exe", kExe});

  const Result result = RunTool(arguments);
  EXPECT_EQ(result.code, c.code) << result.out << result.err;
  const fs::path backup = folder.path() / "exe.xml.nimbra-backup";
  if (c.oursAfter < 0) {
    if (c.start == Start::Text) { EXPECT_TRUE(Read(file) == c.text); }
    if (c.start == Start::Missing) { EXPECT_FALSE(fs::exists(file)); }
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(result.err.empty(), c.code == 0) << result.err;
    return;
  }
  const std::string after = Read(file);
  EXPECT_NE(after.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
  std::string error;
  const std::optional<autostart::ExeXml> xml = autostart::ExeXml::Parse(after, &error);
  ASSERT_TRUE(xml) << error << "\n" << after;
  const std::vector<autostart::OurEntry> entries = xml->OurEntries();
  ASSERT_EQ(static_cast<int>(entries.size()), c.oursAfter) << after;
  for (const autostart::OurEntry& entry : entries) {
    EXPECT_EQ(entry.path, kExe);
    EXPECT_EQ(entry.disabled, c.disabledAfter);
    EXPECT_EQ(entry.manualLoad, c.manualLoadAfter);
  }
  for (const std::string& text : c.kept) EXPECT_NE(after.find(text), std::string::npos) << text << "\n" << after;
  if (c.start == Start::Text && after != c.text) { EXPECT_EQ(Read(backup), c.text); }
  if (c.start == Start::Missing) { EXPECT_FALSE(fs::exists(backup)); }

  // A second run of the same command changes nothing.
  const Result again = RunTool(arguments);
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(Read(file), after);
}

const std::string kUtf16Other = Utf16(
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<SimBase.Document>\r\n  <!-- keep me -->\r\n"
    "  <Launch.Addon><Name>Other Add-on</Name></Launch.Addon>\r\n</SimBase.Document>\r\n");

INSTANTIATE_TEST_SUITE_P(
    Files, AutostartFile,
    testing::Values(
        Case{"missing_add_creates", Start::Missing, "", {"add"}, 0, 1, {"<Descr>Launch</Descr>", "<?xml"}},
        Case{"missing_remove_nothing", Start::Missing, "", {"remove"}, 0, -1, {}},
        Case{"empty_add_creates", Start::Text, "", {"add"}, 0, 1, {"<Descr>Launch</Descr>"}},
        Case{"bom_add", Start::Text, "\xEF\xBB\xBF" + kOther, {"add"}, 0, 1, {"<!-- keep me -->", "Tools &amp; More"}},
        Case{"utf16_add", Start::Text, kUtf16Other, {"add"}, 0, 1,
             {"encoding=\"utf-8\"", "<!-- keep me -->", "<Name>Other Add-on</Name>"}},
        Case{"other_addon_add", Start::Text, kOther, {"add"}, 0, 1,
             {"<!-- keep me -->", "<Name>Other Add-on</Name>\r\n    <Disabled>True</Disabled>"}},
        Case{"two_of_ours_add_keeps_one", Start::Text, WithOurs(Ours("False", "a.exe") + Ours("True", "b.exe")),
             {"add"}, 0, 1, {"<!-- keep me -->"}},
        Case{"two_of_ours_remove_both", Start::Text, WithOurs(Ours("False", "a.exe") + Ours("False", "b.exe")),
             {"remove"}, 0, 0, {"<Name>Other Add-on</Name>"}},
        Case{"ours_disabled_add_enables", Start::Text, WithOurs(Ours("True", kExe)), {"add"}, 0, 1,
             {"<Disabled>True</Disabled>"}},
        Case{"ours_disabled_status_shows", Start::Text, WithOurs(Ours("True", kExe)), {"status"}, 0, 1, {}, "True", ""},
        Case{"ours_manual_load_add_sets_false", Start::Text,
             WithOurs(Ours("False", kExe, "    <ManualLoad>True</ManualLoad>\r\n")), {"add"}, 0, 1, {}},
        Case{"huge_add", Start::Text, Huge(), {"add"}, 0, 1, {"<Name>Add-on 20000</Name>"}},
        Case{"broken", Start::Text, kOther.substr(0, kOther.size() - 8), {"add"}, 2, -1, {}},
        Case{"not_xml", Start::Text, "Launch=Nimbra_Bridge.exe\r\n", {"add"}, 2, -1, {}},
        Case{"declared_windows_1252", Start::Text,
             "<?xml version=\"1.0\" " "encoding=\"windows-1252\"?>\r\n<SimBase.Document><Descr>Caf\xE9</Descr></SimBase.Document>", {"add"}, 2, -1, {}},
        // Shapes the parser takes but the simulator may not.
        Case{"text_before_root", Start::Text, "junk" + kOther, {"add"}, 2, -1, {}},
        Case{"text_after_root", Start::Text, kOther + "&amp;", {"remove"}, 2, -1, {}},
        Case{"cdata_after_root", Start::Text, kOther + "<![CDATA[x]]>", {"add"}, 2, -1, {}},
        Case{"two_roots", Start::Text, kOther + "<SimBase.Document/>\r\n", {"add"}, 2, -1, {}},
        Case{"attribute_twice_on_root", Start::Text,
             "<SimBase.Document Type=\"Launch\" Type=\"SimConnect\"><Descr>Launch</Descr></SimBase.Document>", {"add"}, 2, -1, {}},
        Case{"attribute_twice_deep", Start::Text, WithOurs("  <A><B><C x=\"1\" y=\"2\" x=\"3\"/></B></A>\r\n"),
             {"remove"}, 2, -1, {}},
        Case{"attribute_twice_in_declaration", Start::Text,
             "<?xml version=\"1.0\" version=\"1.0\"?>\r\n<SimBase.Document/>\r\n", {"add"}, 2, -1, {}},
        Case{"another_root", Start::Text, "<?xml version=\"1.0\"?><Launch.Addon/>", {"add"}, 2, -1, {}},
        Case{"another_root_remove", Start::Text,
             "<Document><Launch.Addon><Name>Nimbra Bridge</Name></Launch.Addon></Document>", {"remove"}, 2, -1, {}},
        Case{"folder_named_exe_xml", Start::Folder, "", {"add"}, 2, -1, {}},
        Case{"unknown_option", Start::Text, kOther, {"add", "--force"}, 2, -1, {}},
        Case{"unknown_simulator", Start::Text, kOther, {"add", "--sim", "2004"}, 2, -1, {}}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(Autostart, RemoveAfterAddGivesBackTheFileByteForByte) {
  for (const std::string& original : {kOther, Huge()}) {
    TempFolder folder;
    const fs::path file = folder.path() / "exe.xml";
    Write(file, original);
    EXPECT_EQ(RunTool({"add", "--file", Utf8(file), "--exe", kExe}).code, 0);
    EXPECT_NE(Read(file), original);
    EXPECT_EQ(RunTool({"remove", "--file", Utf8(file)}).code, 0);
    EXPECT_TRUE(Read(file) == original);
  }
}

TEST(Autostart, ParseErrorSaysWhere) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  Write(file, "<SimBase.Document>\r\n  <Launch.Addon>\r\n  </Launch>\r\n</SimBase.Document>\r\n");
  const Result result = RunTool({"add", "--file", Utf8(file)});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find("line 3"), std::string::npos) << result.err;
}

TEST(Autostart, ReadOnlyFileIsLeftAlone) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  Write(file, kOther);
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const Result result = RunTool({"add", "--file", Utf8(file), "--exe", kExe});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find("read-only"), std::string::npos) << result.err;
  EXPECT_EQ(Read(file), kOther);
  EXPECT_FALSE(fs::exists(folder.path() / "exe.xml.nimbra-backup"));
}

TEST(Autostart, NonAsciiFoldersAreWrittenAsUtf8) {
  TempFolder folder;
  const fs::path sub = folder.path() / u8"Flugsimulator Jürgen";
  fs::create_directories(sub);
  const fs::path file = sub / "exe.xml";
  Write(file, kOther);
  EXPECT_EQ(RunTool({"add", "--file", Utf8(file), "--exe", kExe}).code, 0);
  EXPECT_NE(Read(file).find("<Path>" + kExe + "</Path>"), std::string::npos);
  EXPECT_EQ(Read(sub / "exe.xml.nimbra-backup"), kOther);
}

// The backup cannot take the place of a folder of its name: the rename fails,
// and neither exe.xml nor that folder changes.
TEST(Autostart, FailedRenameLeavesTheOldFile) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  Write(file, kOther);
  fs::create_directories(folder.path() / "exe.xml.nimbra-backup" / "kept");
  const Result result = RunTool({"add", "--file", Utf8(file), "--exe", kExe});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find("nothing changed"), std::string::npos) << result.err;
  EXPECT_TRUE(Read(file) == kOther);
  EXPECT_TRUE(fs::is_directory(folder.path() / "exe.xml.nimbra-backup" / "kept"));
  EXPECT_FALSE(fs::exists(folder.path() / "exe.xml.nimbra-backup.nimbra-tmp"));
}

// Two runs at once on one file, adding and removing, 200 runs in all, while a
// reader looks on: every file it sees parses and keeps the other add-on, and
// every run succeeds.
TEST(Autostart, ConcurrentRunsTakeTurns) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  // Long enough that writing it takes a while, for the runs to overlap in.
  std::string others;
  for (int i = 0; i < 2000; ++i) {
    others += "  <Launch.Addon><Name>Add-on " + std::to_string(i) + "</Name></Launch.Addon>\r\n";
  }
  Write(file, WithOurs(others));
  const std::string path = Utf8(file);
  std::atomic<int> running{2};
  std::atomic<int> failedRuns{0};
  // Each run adds then removes, from opposite ends, so that most runs change
  // the file.
  auto runs = [&](int first) {
    const char* commands[] = {"add", "remove"};
    for (int i = 0; i < 100; ++i) {
      failedRuns += RunTool({commands[(first + i) % 2], "--file", path, "--exe", kExe}).code != 0;
    }
    --running;
  };
  std::thread adder(runs, 0);
  std::thread remover(runs, 1);
  int seen = 0;
  int bad = 0;
  while (running > 0 || seen == 0) {
    std::string bytes;
    std::string error;
    ++seen;
    // Renames replace the file at once: there is no moment without one.
    if (!platform::ReadWholeFile(path, &bytes, &error) || !autostart::ExeXml::Parse(bytes, &error) ||
        bytes.find("<Name>Other Add-on</Name>") == std::string::npos) {
      ++bad;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // room for the runs on a small machine
  }
  adder.join();
  remover.join();
  EXPECT_EQ(failedRuns.load(), 0);
  EXPECT_EQ(bad, 0) << "of " << seen << " files seen";
  EXPECT_FALSE(fs::exists(folder.path() / "exe.xml.nimbra-lock"));
}

// A run waits while another holds the file's lock, then makes its change.
TEST(Autostart, ARunWaitsForTheLock) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  Write(file, kOther);
  std::string error;
  std::unique_ptr<platform::EditLock> lock = platform::LockForEditing(Utf8(file), std::chrono::seconds(1), &error);
  ASSERT_TRUE(lock) << error;
  std::atomic<bool> done{false};
  int code = -1;
  std::thread run([&] {
    code = RunTool({"add", "--file", Utf8(file), "--exe", kExe}).code;
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(Read(file), kOther);
  lock.reset();
  run.join();
  EXPECT_EQ(code, 0);
  EXPECT_NE(Read(file).find("<Path>" + kExe + "</Path>"), std::string::npos);
}

#ifndef _WIN32
// Links pilots make, and links a stranger plants: a linked exe.xml is edited
// through to its file and stays a link; a link to nothing or a loop is
// refused; nothing is ever written through a link at the name of a
// temporary file, backup or lock.
TEST(Autostart, LinksAreFollowedOnlyWhereMeant) {
  const std::string temporary = ".nimbra-" + std::to_string(::getpid()) + "-";
  const struct {
    const char* what;
    std::vector<std::string> planted;  // names beside exe.xml that link to the victim
    int code;
  } cases[] = {
      {"shared exe.xml", {}, 0},
      {"links at the temporary names",
       {"exe.xml.nimbra-tmp", "exe.xml" + temporary + "0", "exe.xml" + temporary + "1",
        "exe.xml.nimbra-backup" + temporary + "0", "exe.xml.nimbra-backup" + temporary + "1"},
       0},
      {"link at the backup", {"exe.xml.nimbra-backup"}, 0},
      {"link at the lock", {"exe.xml.nimbra-lock"}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const fs::path shared = folder.path() / "shared";
    fs::create_directories(shared);
    Write(shared / "exe.xml", kOther);
    Write(folder.path() / "victim", "victim");
    fs::create_symlink(shared / "exe.xml", folder.path() / "exe.xml");
    for (const std::string& name : c.planted) fs::create_symlink(folder.path() / "victim", shared / name);

    const Result result = RunTool({"add", "--file", Utf8(folder.path() / "exe.xml"), "--exe", kExe});
    EXPECT_EQ(result.code, c.code) << result.err;
    EXPECT_TRUE(fs::is_symlink(folder.path() / "exe.xml"));
    EXPECT_EQ(Read(folder.path() / "victim"), "victim");
    EXPECT_EQ(Read(shared / "exe.xml").find("<Path>" + kExe + "</Path>") != std::string::npos, c.code == 0);
    for (const std::string& name : c.planted) {
      EXPECT_TRUE(fs::is_symlink(shared / name) || name == "exe.xml.nimbra-backup") << name;
    }
    if (c.code == 0) {
      EXPECT_EQ(Read(shared / "exe.xml.nimbra-backup"), kOther);
    }
  }
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop ? "loop" : "link to nothing");
    TempFolder folder;
    const fs::path file = folder.path() / "exe.xml";
    fs::create_symlink(loop ? file : folder.path() / "missing.xml", file);
    const Result result = RunTool({"add", "--file", Utf8(file), "--exe", kExe});
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find("nothing changed"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
  }
}

// The disk fills up while the new file is written: the old one stays.
TEST(Autostart, FullDiskLeavesTheOldFile) {
  TempFolder folder;
  const fs::path file = folder.path() / "exe.xml";
  const std::string original = Huge();
  Write(file, original);
  struct rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit small = before;
  small.rlim_cur = 64 * 1024;
  auto* const oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Result result = RunTool({"add", "--file", Utf8(file), "--exe", kExe});
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find("nothing changed"), std::string::npos) << result.err;
  EXPECT_TRUE(Read(file) == original);
  EXPECT_FALSE(fs::exists(folder.path() / "exe.xml.nimbra-tmp"));
  EXPECT_FALSE(fs::exists(folder.path() / "exe.xml.nimbra-backup.nimbra-tmp"));
}

// Without --file the simulators are found by their UserCfg.opt, here in the
// Proton prefix of the 2020 simulator below a home folder of the test's own.
TEST(Autostart, FindsTheSimulatorByItsSettingsFile) {
  TempFolder home;
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", Utf8(home.path()).c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(RunTool({"add", "--exe", kExe}).code, 1);
  const fs::path sim = home.path() /
                       ".local/share/Steam/steamapps/compatdata/1250410/pfx/drive_c/users/steamuser/"
                       "AppData/Roaming/Microsoft Flight Simulator";
  fs::create_directories(sim);
  Write(sim / "UserCfg.opt", "InstalledPackagesPath \"D:\\MSFS\"\r\n");
  EXPECT_EQ(RunTool({"add", "--sim", "2024", "--exe", kExe}).code, 1);
  EXPECT_EQ(RunTool({"add", "--exe", kExe}).code, 0);
  const Result status = RunTool({"status"});
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_EQ(status.code, 0);
  EXPECT_NE(status.out.find("MSFS 2024: not found"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("Nimbra Bridge: " + kExe + ", Disabled False"), std::string::npos) << status.out;
  EXPECT_NE(Read(sim / "exe.xml").find("<Path>" + kExe + "</Path>"), std::string::npos);
}
#endif

}  // namespace
