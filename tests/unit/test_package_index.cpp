// The package index against folders made for each case: a folder is listed
// once while it stays unchanged, and again after each change the pilot can
// make (a package installed, removed, renamed), or while its time is too
// fresh to trust; the packages it names are those that hold the aircraft.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "profiles/package_index.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using Names = std::vector<std::string>;

class Community {
 public:
  std::string Folder() const { return path_.string(); }
  void AddAircraft(const std::string& package, const std::string& aircraft) const {
    const fs::path folder = path_ / package / "SimObjects" / "Airplanes" / aircraft;
    fs::create_directories(folder);
    std::ofstream(folder / "aircraft.cfg") << "";
  }
  void Remove(const std::string& package) const { fs::remove_all(path_ / package); }
  void Rename(const std::string& from, const std::string& to) const { fs::rename(path_ / from, path_ / to); }
  // Waits until the folder's last change is older than kSettle.
  static void Settle() { std::this_thread::sleep_for(kSettle + std::chrono::milliseconds(20)); }
  static constexpr std::chrono::milliseconds kSettle{150};

 private:
  testsupport::TempFolder folder_{"nimbra-index-"};
  const fs::path& path_ = folder_.path();
};

const Names kJet = {"SimObjects", "Airplanes", "Jet"};

struct IndexCase {
  const char* what;
  std::function<void(const Community&)> change;  // between the first and the second lookup
  bool settleAfterChange;
  Names second;             // the packages the second lookup names
  std::size_t listings;     // listings after both lookups
};

TEST(PackageIndex, ListsAFolderAgainOnlyAfterItChanged) {
  const IndexCase cases[] = {
      {"unchanged: one listing", [](const Community&) {}, true, {"a-jet"}, 1},
      {"a package installed", [](const Community& c) { c.AddAircraft("B-jet", "JET"); }, false, {"a-jet", "B-jet"}, 2},
      {"a package removed", [](const Community& c) { c.Remove("a-jet"); }, false, {}, 2},
      {"a package renamed", [](const Community& c) { c.Rename("a-jet", "z-jet"); }, false, {"z-jet"}, 2},
      // A change inside a package does not touch the folder's own time: the
      // shortlist stays, and the file itself is looked for afresh elsewhere.
      {"an aircraft added inside a package", [](const Community& c) { c.AddAircraft("other", "Prop"); }, true,
       {"a-jet"}, 1},
  };
  for (const IndexCase& c : cases) {
    Community community;
    community.AddAircraft("a-jet", "Jet");
    community.AddAircraft("other", "Glider");
    std::ofstream(community.Folder() + "/not-a-package.txt") << "";
    community.Settle();
    PackageIndex index(std::chrono::nanoseconds(Community::kSettle).count());
    EXPECT_EQ(index.PackagesHolding(community.Folder(), kJet), Names{"a-jet"}) << c.what;
    c.change(community);
    if (c.settleAfterChange) community.Settle();
    EXPECT_EQ(index.PackagesHolding(community.Folder(), kJet), c.second) << c.what;
    EXPECT_EQ(index.Listings(), c.listings) << c.what;
  }
}

TEST(PackageIndex, AFreshFolderIsListedAgainUntilItSettles) {
  Community community;
  community.AddAircraft("a-jet", "Jet");
  PackageIndex index(std::chrono::nanoseconds(Community::kSettle).count());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(index.PackagesHolding(community.Folder(), kJet), Names{"a-jet"});
  EXPECT_EQ(index.Listings(), 3u);
  community.Settle();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(index.PackagesHolding(community.Folder(), kJet), Names{"a-jet"});
  EXPECT_EQ(index.Listings(), 4u) << "one listing after it settled, then none";
}

struct ShortlistCase {
  const char* what;
  Names folders;
  Names packages;
};

TEST(PackageIndex, NamesThePackagesHoldingTheAircraftInLookupOrder) {
  Community community;
  community.AddAircraft("b-jet", "Jet");
  community.AddAircraft("A-JET", "JET");
  community.AddAircraft("c-prop", "Prop");
  // A file named like the aircraft's folder is not the folder.
  fs::create_directories(community.Folder() + "/d-trap/SimObjects/Airplanes");
  std::ofstream(community.Folder() + "/d-trap/SimObjects/Airplanes/Jet") << "";
  // Only the SimObjects branch counts.
  fs::create_directories(community.Folder() + "/e-scenery/Airplanes/Jet");
  const ShortlistCase cases[] = {
      {"case does not matter, name order does", {"simobjects", "AIRPLANES", "jet"}, {"A-JET", "b-jet"}},
      {"deeper pieces are the file lookup's", {"SimObjects", "Airplanes", "Jet", "presets", "x"}, {"A-JET", "b-jet"}},
      {"two pieces", {"SimObjects", "Airplanes"}, {"A-JET", "b-jet", "c-prop", "d-trap"}},
      {"one piece", {"SimObjects"}, {"A-JET", "b-jet", "c-prop", "d-trap"}},
      {"nobody holds it", {"SimObjects", "Airplanes", "Glider"}, {}},
      {"no pieces", {}, {}},
  };
  PackageIndex index;
  for (const ShortlistCase& c : cases) EXPECT_EQ(index.PackagesHolding(community.Folder(), c.folders), c.packages) << c.what;
  EXPECT_EQ(index.PackagesHolding(community.Folder() + "/missing", kJet), Names{}) << "a missing folder";
  std::ofstream(community.Folder() + "/plain-file") << "";
  EXPECT_EQ(index.PackagesHolding(community.Folder() + "/plain-file", kJet), Names{}) << "a file, not a folder";
#ifndef _WIN32
  // A loop of links, as a package folder and as a package.
  fs::create_symlink(community.Folder() + "/loop-a", community.Folder() + "/loop-b");
  fs::create_symlink(community.Folder() + "/loop-b", community.Folder() + "/loop-a");
  EXPECT_EQ(index.PackagesHolding(community.Folder() + "/loop-a", kJet), Names{}) << "a loop of links";
  EXPECT_EQ(index.PackagesHolding(community.Folder(), kJet), (Names{"A-JET", "b-jet"})) << "a loop among the packages";
#endif
}

}  // namespace
