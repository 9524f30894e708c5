// The configuration file through the system's profile functions.
#include "platform/profile_ini.h"

#include <windows.h>

namespace platform {

std::uint32_t ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                char* buffer, std::uint32_t size) {
  return GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, size, file.c_str());
}

std::uint32_t ReadProfileSection(const std::string& file, const std::string& section, char* buffer,
                                 std::uint32_t size) {
  return GetPrivateProfileSectionA(section.c_str(), buffer, size, file.c_str());
}

}  // namespace platform
