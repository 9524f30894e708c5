// Three fresh folders standing in for the places where SimConnect.cfg is
// looked for, and no registered ports; both are put back when it goes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/config_places.h"
#include "platform/registry_ports.h"

namespace testsupport {

enum Place { kShared = 0, kUser = 1, kCurrent = 2 };

class ConfigPlaces {
 public:
  explicit ConfigPlaces(const std::string& prefix) {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()) + std::to_string(random()));
    platform::ConfigPlaceFolders folders;
    for (int place : {kShared, kUser, kCurrent}) {
      dirs_[place] = root_ / std::to_string(place);
      std::filesystem::create_directories(dirs_[place]);
      folders[place] = dirs_[place].string();
    }
    platform::OverrideConfigPlaceFolders(folders);
    for (platform::AddressFamily family : {platform::AddressFamily::IPv4, platform::AddressFamily::IPv6}) {
      const std::string saved = platform::ReadRegisteredPort(family);
      savedPorts_.push_back(saved.empty() ? std::nullopt : std::optional<std::string>(saved));
      if (!platform::WriteRegisteredPort(family, std::nullopt)) ADD_FAILURE() << "could not clear a registered port";
    }
  }

  ~ConfigPlaces() {
    platform::ClearConfigPlaceFoldersOverride();
    platform::WriteRegisteredPort(platform::AddressFamily::IPv4, savedPorts_[0]);
    platform::WriteRegisteredPort(platform::AddressFamily::IPv6, savedPorts_[1]);
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(root_, ignored);
  }

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
  std::filesystem::path root_;
  std::filesystem::path dirs_[3];
  std::vector<std::optional<std::string>> savedPorts_;
};

}  // namespace testsupport
