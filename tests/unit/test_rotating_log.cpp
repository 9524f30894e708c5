// The log file: its rotation at the cap, and what it does when it cannot be
// written (drop, count, note at the next line that can be). Its stamped lines
// in folders it makes are the bridge's end-to-end case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/rotating_log.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RotatingLogTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp_{"nimbra-log-"};
  const fs::path& folder_ = temp_.path();
};

TEST_F(RotatingLogTest, RotatesToOneOlderFileAtTheCap) {
  const fs::path file = folder_ / "bridge.log";
  const std::string line(40, 'x');  // 24 bytes of stamp and blank, the line, its end: 65 bytes
  platform::RotatingLog log(file.string(), 200);
  for (int i = 0; i < 3; ++i) log.Write(line);  // 195 bytes: under the cap
  EXPECT_FALSE(fs::exists(file.string() + ".1"));
  log.Write("fourth");  // would pass the cap: the file moves to .1
  EXPECT_EQ(Lines(file.string() + ".1").size(), 3u);
  ASSERT_EQ(Lines(file).size(), 1u);
  for (int i = 0; i < 6; ++i) log.Write(line);  // a second rotation replaces the older file
  EXPECT_LE(fs::file_size(file), 200u);
  EXPECT_LE(fs::file_size(file.string() + ".1"), 200u);
  EXPECT_FALSE(fs::exists(file.string() + ".2"));
  EXPECT_EQ(Lines(file.string() + ".1").front().substr(24), line);
}

// Places a log cannot be written to; each drops its lines and the program
// goes on.
struct Unwritable {
  const char* name;
  std::string (*make)(const fs::path& folder);  // the log's path
};

const Unwritable kUnwritable[] = {
    {"a file where the folder should be",
     [](const fs::path& folder) {
       fs::create_directories(folder);
       std::ofstream(folder / "state") << "a file";
       return (folder / "state" / "nimbra-bridge" / "bridge.log").string();
     }},
    {"a folder where the file should be",
     [](const fs::path& folder) {
       fs::create_directories(folder / "bridge.log");
       return (folder / "bridge.log").string();
     }},
    {"a path too long for the system",
     [](const fs::path& folder) { return (folder / std::string(5000, 'n') / "bridge.log").string(); }},
    {"no path at all", [](const fs::path&) { return std::string(); }},
};

TEST_F(RotatingLogTest, DropsAndCountsLinesItCannotWrite) {
  for (const Unwritable& place : kUnwritable) {
    SCOPED_TRACE(place.name);
    fs::remove_all(folder_);
    platform::RotatingLog log(place.make(folder_));
    log.Write("one");
    log.Write("two");
    EXPECT_EQ(log.Dropped(), 2u);
  }
}

TEST_F(RotatingLogTest, NotesTheLostLinesOnceAtTheNextLineWritten) {
  fs::create_directories(folder_);
  const fs::path blocker = folder_ / "logs";
  std::ofstream(blocker) << "a file in the folder's place";
  platform::RotatingLog log((blocker / "bridge.log").string());
  log.Write("lost 1");
  log.Write("lost 2");
  fs::remove(blocker);  // the folder can be made now
  log.Write("kept");
  log.Write("kept too");
  EXPECT_EQ(log.Dropped(), 0u);
  const auto lines = Lines(blocker / "bridge.log");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(24), "(2 line(s) could not be written to the log)");
  EXPECT_EQ(lines[1].substr(24), "kept");
  EXPECT_EQ(lines[2].substr(24), "kept too");
}

}  // namespace
