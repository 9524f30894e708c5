// The folders where the link looks for its connection configuration file, in
// reading order, and how a file name is joined to one of them.
#pragma once

#include <array>
#include <string>

namespace platform {

enum class ConfigPlace { SharedDocuments, UserDocuments, CurrentDirectory };

// Reading order: later places override earlier ones.
inline constexpr std::array<ConfigPlace, 3> kConfigPlaceOrder = {
    ConfigPlace::SharedDocuments, ConfigPlace::UserDocuments, ConfigPlace::CurrentDirectory};

// The folder of one place; false when the system cannot name it (the place is
// then skipped).
bool ConfigPlaceFolder(ConfigPlace place, std::string* folder);

// Joins a folder and a file name as the system does; false when it cannot.
bool CombinePath(const std::string& folder, const std::string& file, std::string* path);

namespace detail {
// The system's answer for one place, behind the stand-in folders that tests set.
bool SystemConfigPlaceFolder(ConfigPlace place, std::string* folder);
}  // namespace detail

}  // namespace platform
