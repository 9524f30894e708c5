// Three fresh folders standing in for the places where SimConnect.cfg is
// looked for, and no registered ports (see RegisteredPorts); both are put
// back when it goes, and so is the current directory. It throws when it
// cannot set that up, so it serves benchmarks as well as tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/config_places_testing.h"
#include "platform/registry_ports_testing.h"

namespace testsupport {

enum Place { kShared = 0, kUser = 1, kCurrent = 2 };

// The registered ports are this process's environment on POSIX, but on
// Windows the user's registry, which every program running at the time
// shares. Only the tests that check them change them there (under a ctest
// resource lock); the others leave them alone.
enum class RegisteredPorts { Clear, ClearUnlessShared };
#ifdef _WIN32
inline constexpr bool kPortsShared = true;
#else
inline constexpr bool kPortsShared = false;
#endif

class ConfigPlaces {
 public:
  explicit ConfigPlaces(const std::string& prefix, RegisteredPorts ports = RegisteredPorts::Clear) {
    std::random_device random;
    std::error_code unknown;
    startedIn_ = std::filesystem::current_path(unknown);
    root_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()) + std::to_string(random()));
    platform::ConfigPlaceFolders folders;
    for (int place : {kShared, kUser, kCurrent}) {
      dirs_[place] = root_ / std::to_string(place);
      std::filesystem::create_directories(dirs_[place]);
      folders[place] = dirs_[place].string();
    }
    platform::OverrideConfigPlaceFolders(folders);
    if (ports == RegisteredPorts::ClearUnlessShared && kPortsShared) return;
    clearedPorts_ = true;
    for (platform::AddressFamily family : {platform::AddressFamily::IPv4, platform::AddressFamily::IPv6}) {
      const std::string saved = platform::ReadRegisteredPort(family);
      savedPorts_.push_back(saved.empty() ? std::nullopt : std::optional<std::string>(saved));
      if (!platform::WriteRegisteredPort(family, std::nullopt)) {
        PutBack();
        throw std::runtime_error("could not clear a registered port");
      }
    }
  }

  ~ConfigPlaces() { PutBack(); }

  ConfigPlaces(const ConfigPlaces&) = delete;
  ConfigPlaces& operator=(const ConfigPlaces&) = delete;

  // Writes the place's SimConnect.cfg; returns its path.
  std::string Write(Place place, const std::string& content) const {
    const std::filesystem::path path = dirs_[place] / "SimConnect.cfg";
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& dir(Place place) const { return dirs_[place]; }

 private:
  void PutBack() {
    platform::ClearConfigPlaceFoldersOverride();
    if (clearedPorts_) {
      platform::AddressFamily families[] = {platform::AddressFamily::IPv4, platform::AddressFamily::IPv6};
      for (std::size_t i = 0; i < savedPorts_.size(); ++i) platform::WriteRegisteredPort(families[i], savedPorts_[i]);
    }
    // Out of the folders before they go (a test may have entered one).
    std::error_code ignored;
    std::filesystem::current_path(startedIn_, ignored);
    if (ignored) std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(root_, ignored);
  }

  std::filesystem::path startedIn_;
  std::filesystem::path root_;
  std::filesystem::path dirs_[3];
  bool clearedPorts_ = false;
  std::vector<std::optional<std::string>> savedPorts_;
};

}  // namespace testsupport
