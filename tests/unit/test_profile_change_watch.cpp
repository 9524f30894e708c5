// The profile watch: every kind of change to a watched file is acted on
// exactly once, and only once it reads the same on two looks in a row.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "devices/profile_watch.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Change {
  const char* name;
  bool existsBefore;
  void (*apply)(const fs::path& file);
};

const Change kChanges[] = {
    {"edited", true, [](const fs::path& f) { Put(f, R"({ "SaveName": "Edited, longer" })"); }},
    {"truncated", true, [](const fs::path& f) { Put(f, ""); }},
    {"deleted", true, [](const fs::path& f) { fs::remove(f); }},
    {"replaced by a rename", true,
     [](const fs::path& f) {
       Put(f.string() + ".new", R"({ "SaveName": "New" })");
       fs::rename(f.string() + ".new", f);
     }},
    {"turned into a folder", true,
     [](const fs::path& f) {
       fs::remove(f);
       fs::create_directories(f);
     }},
    {"its time moved backwards, same size", true,
     [](const fs::path& f) { fs::last_write_time(f, fs::last_write_time(f) - std::chrono::hours(24)); }},
    {"created", false, [](const fs::path& f) { Put(f, "{}"); }},
};

class ProfileWatchTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp_{"nimbra-watch-"};
  const fs::path& folder_ = temp_.path();
};

TEST_F(ProfileWatchTest, EachChangeIsActedOnOnceWhenItHasSettled) {
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.name);
    const fs::path file = folder_ / change.name / "Velk_Throttle_Config.json";
    if (change.existsBefore) Put(file, R"({ "SaveName": "First" })");
    ProfileWatch watch;
    watch.Watch({file.string()});
    EXPECT_FALSE(watch.Check()) << "nothing changed yet";
    change.apply(file);
    EXPECT_FALSE(watch.Check()) << "a change seen once may still be written";
    EXPECT_TRUE(watch.Check()) << "the same on the second look";
    EXPECT_FALSE(watch.Check()) << "acted on once";
    EXPECT_FALSE(watch.Check());
  }
}

TEST_F(ProfileWatchTest, AFileStillBeingWrittenIsNotActedOnUntilItStops) {
  const fs::path file = folder_ / "Velk_Throttle_Config.json";
  Put(file, "{");
  ProfileWatch watch;
  watch.Watch({file.string()});
  std::string growing = "{";
  for (int look = 0; look < 4; ++look) {
    growing += " \"a\": 1,";
    Put(file, growing);
    EXPECT_FALSE(watch.Check()) << "look " << look;
  }
  EXPECT_TRUE(watch.Check());
}

TEST_F(ProfileWatchTest, AnEditUndoneBeforeItSettledIsNoChange) {
  const fs::path file = folder_ / "Velk_Throttle_Config.json";
  Put(file, "{ }");
  // Set through the same call both times, whatever precision it keeps.
  const auto written = fs::last_write_time(file) - std::chrono::hours(1);
  fs::last_write_time(file, written);
  ProfileWatch watch;
  watch.Watch({file.string()});
  Put(file, "{ \"x\": 1 }");
  EXPECT_FALSE(watch.Check());
  Put(file, "{ }");
  fs::last_write_time(file, written);
  EXPECT_FALSE(watch.Check());
  EXPECT_FALSE(watch.Check());
}

TEST_F(ProfileWatchTest, AChangeToAnyWatchedFileCountsAndWatchForgetsTheOldFiles) {
  const fs::path global = folder_ / "Velk_Throttle_Config.json";
  const fs::path local = folder_ / "corvane_profiles" / "Plane" / "Velk_Throttle_Config.json";
  Put(global, "{}");
  ProfileWatch watch;
  watch.Watch({global.string(), local.string()});
  Put(local, "{}");
  EXPECT_FALSE(watch.Check());
  EXPECT_TRUE(watch.Check());
  watch.Watch({local.string()});
  Put(global, "{ \"changed\": true }");
  EXPECT_FALSE(watch.Check());
  EXPECT_FALSE(watch.Check());
}

}  // namespace
