// What one profile reload's LOCAL lookup costs with many packages installed:
// the real choice of a profile over a generated package root of 0, 300 and
// 3,000 Community packages, for an aircraft that has no LOCAL profile (the
// common case, where every package is a candidate). A plain timing program
// rather than a Google Benchmark one, so that the same program builds for
// Windows and runs under wine, where every file call costs more.
//
//   package_lookup_timing [COUNT...]     default: 0 300 3000
//
// For each count it prints the first lookup (the one after start) and the
// median of the lookups after it, in milliseconds, and how often the
// packages were listed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "profiles/package_index.h"
#include "profiles/profile_files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRepeats = 50;

void Touch(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

// A package as the simulator lays one out: its manifest and layout files and
// one aircraft folder of its own.
void MakePackages(const fs::path& root, int count) {
  fs::create_directories(root / "Community");
  fs::create_directories(root / "Official" / "OneStore");
  for (int i = 0; i < count; ++i) {
    const std::string name = "maker-aircraft-" + std::to_string(i);
    const fs::path package = root / "Community" / name;
    Touch(package / "manifest.json", "{}");
    Touch(package / "layout.json", "{}");
    Touch(package / "SimObjects" / "Airplanes" / ("plane_" + std::to_string(i)) / "aircraft.cfg", "");
  }
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {0, 300, 3000};
  std::random_device random;
  const fs::path base = fs::temp_directory_path() / ("nimbra-lookup-" + std::to_string(random()));
  for (const int count : counts) {
    const fs::path root = base / std::to_string(count);
    MakePackages(root, count);
    // Installed a while ago, as on a pilot's machine: a folder changed a
    // moment ago is listed again until its time can be trusted.
    std::this_thread::sleep_for(std::chrono::nanoseconds(PackageIndex::kSettleNanoseconds) +
                                std::chrono::milliseconds(100));
    fs::create_directories(base / "bridge");
    ProfileQuery query;
    query.deviceName = "Velk_Throttle";
    query.aircraftProfileDir = "SimObjects\\Airplanes\\no_profile\\presets\\m\\no_profile_x\\config\\corvane_profiles\\";
    query.bridgeFolder = (base / "bridge" / "").string();
    query.packageRoots = {root.string()};
    PackageIndex index;  // the bridge keeps one for its whole run
    query.packageIndex = &index;
    const auto start = std::chrono::steady_clock::now();
    ProfileChoice choice = ChooseProfile(query);
    const double first = Milliseconds(std::chrono::steady_clock::now() - start);
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
      const auto at = std::chrono::steady_clock::now();
      choice = ChooseProfile(query);
      times.push_back(Milliseconds(std::chrono::steady_clock::now() - at));
    }
    std::sort(times.begin(), times.end());
    std::printf("%5d packages: first lookup %8.3f ms, then median %8.3f ms (min %.3f, max %.3f), %zu listings%s\n",
                count, first, times[times.size() / 2], times.front(), times.back(), index.Listings(),
                choice.local ? ", found a LOCAL profile where none is" : "");
    std::fflush(stdout);
  }
  std::error_code ignored;
  fs::remove_all(base, ignored);
  return 0;
}
