// The reload markers' existence rules: a marker exists exactly while some
// handle to it is open. On POSIX, where markers are lock files that other
// programs use by name, a file left behind by a crashed process and a folder
// of the marker's name both count as absent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "platform/named_marker.h"
#include "support/marker_files.h"

namespace {

using platform::kNoMarker;

std::string UniqueName() {
  std::random_device random;
  return "Global\\Nimbra_Test_" + std::to_string(random()) + std::to_string(random());
}

bool Exists(const std::string& name) {
  const platform::MarkerHandle marker = platform::OpenMarkerIfExists(name);
  platform::CloseMarker(marker);
  return marker != kNoMarker;
}

TEST(NamedMarker, ExistsWhileAHandleIsOpenAndOpeningCreatesNothing) {
  const std::string name = UniqueName();
  EXPECT_FALSE(Exists(name));
  EXPECT_FALSE(Exists(name));  // looking made nothing
  const platform::MarkerHandle first = platform::CreateOrOpenMarker(name);
  ASSERT_NE(first, kNoMarker);
  const platform::MarkerHandle second = platform::CreateOrOpenMarker(name);  // an existing one is opened
  ASSERT_NE(second, kNoMarker);
  platform::CloseMarker(first);
  EXPECT_TRUE(Exists(name));
  platform::CloseMarker(second);
  EXPECT_FALSE(Exists(name));
  testsupport::RemoveMarkerFile(name);
}

// Several lookers at once, as two bridges on one simulator or two reload
// requests are: each must see what the holders do, never another looker.
TEST(NamedMarker, OverlappingLookupsSeeOnlyHolders) {
  const std::string name = UniqueName();
  platform::CloseMarker(platform::CreateOrOpenMarker(name));  // the file stays, held by nobody
  for (const bool held : {false, true}) {
    const platform::MarkerHandle holder = held ? platform::CreateOrOpenMarker(name) : kNoMarker;
    std::atomic<int> found{0};
    std::atomic<int> looked{0};
    std::vector<std::thread> lookers;
    for (int t = 0; t < 2; ++t) {
      lookers.emplace_back([&] {
        for (int i = 0; i < 3000; ++i) {
          found += Exists(name) ? 1 : 0;
          ++looked;
        }
      });
    }
    for (std::thread& looker : lookers) looker.join();
    EXPECT_EQ(found.load(), held ? looked.load() : 0) << (held ? "held" : "not held");
    platform::CloseMarker(holder);
  }
  testsupport::RemoveMarkerFile(name);
}

#ifndef _WIN32
TEST(NamedMarker, LeftoverFilesAndFoldersCountAsAbsent) {
  const std::string name = UniqueName();
  const std::string file = testsupport::MarkerFile(name);
  platform::CloseMarker(platform::CreateOrOpenMarker(name));
  EXPECT_TRUE(std::filesystem::exists(file)) << file;  // the name other programs use
  EXPECT_FALSE(Exists(name));                           // left behind, held by nobody

  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_FALSE(Exists(name));
  EXPECT_EQ(platform::CreateOrOpenMarker(name), kNoMarker);
  std::filesystem::remove(file);
}

// Anyone may lock a marker file exclusively (mode 0666), and a looker whose
// process is paused keeps the probe guard. Neither is a holder, and no
// marker call may wait for either to go: the bridge calls them on its one
// thread, between LED refreshes. The bound is the loop's own pause, well
// above the calls' budget of 50 ms.
TEST(NamedMarker, ForeignLocksNeitherHoldNorStallACall) {
  const struct {
    const char* what;
    bool exclusive;   // someone holds flock(LOCK_EX) on the file
    bool stuckGuard;  // someone keeps the lookers' byte lock
    bool holdable;    // creating the marker then holds it
  } cases[] = {
      {"exclusive lock", true, false, false},
      {"stuck guard", false, true, true},
      {"both", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = UniqueName();
    platform::CloseMarker(platform::CreateOrOpenMarker(name));
    const int foreign = ::open(testsupport::MarkerFile(name).c_str(), O_RDWR);
    ASSERT_GE(foreign, 0);
    if (c.exclusive) {
      ASSERT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
    }
    struct flock guard {};
    guard.l_type = F_WRLCK;
    guard.l_whence = SEEK_SET;
    guard.l_len = 1;
    if (c.stuckGuard) {
      ASSERT_EQ(::fcntl(foreign, F_OFD_SETLK, &guard), 0);
    }
    for (int i = 0; i < 3; ++i) {
      auto start = std::chrono::steady_clock::now();
      EXPECT_FALSE(Exists(name));
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
      start = std::chrono::steady_clock::now();
      const platform::MarkerHandle created = platform::CreateOrOpenMarker(name);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
      EXPECT_EQ(created != kNoMarker, c.holdable);
      if (created != kNoMarker) {
        EXPECT_TRUE(Exists(name));
      }
      platform::CloseMarker(created);
    }
    ::close(foreign);
    const platform::MarkerHandle holder = platform::CreateOrOpenMarker(name);
    EXPECT_NE(holder, kNoMarker);
    EXPECT_TRUE(Exists(name));  // once the foreign locks are gone, holding works again
    platform::CloseMarker(holder);
    testsupport::RemoveMarkerFile(name);
  }
}
#endif

}  // namespace
