// Reading the connection settings from the configuration files and the
// registered ports.
#include "simlink/link_config.h"

#include <cstdio>
#include <limits>

#include "platform/ascii_case.h"
#include "platform/config_places.h"
#include "platform/profile_ini.h"
#include "platform/registry_ports.h"

namespace simlink {
namespace {

// Every value is read into a buffer of this size with an empty default.
constexpr std::uint32_t kValueBufferSize = 2048;
// A section holds a line when reading it into this much room gives anything.
constexpr std::uint32_t kSectionProbeSize = 30;

// Reads one key; false when it is absent or empty, which leaves a field as it was.
bool ReadValue(const std::string& file, const std::string& section, const char* key,
               char (&value)[kValueBufferSize]) {
  return platform::ReadProfileString(file, section, key, value, kValueBufferSize) != 0 && value[0] != '\0';
}

// Converts a decimal text the way atoi does: leading blanks, an optional sign,
// digits up to the first other character; 0 without digits, and the nearest
// 32-bit limit when the number does not fit.
std::int32_t ParseDecimal(const char* text) {
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' || *text == '\r') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  // Accumulate as a negative number so that the lowest limit fits, too.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 - (*text - '0');
    if (value < kLowest) return negative ? static_cast<std::int32_t>(kLowest) : static_cast<std::int32_t>(kHighest);
  }
  if (negative) return static_cast<std::int32_t>(value);
  return value < -kHighest ? static_cast<std::int32_t>(kHighest) : static_cast<std::int32_t>(-value);
}

}  // namespace

std::string ConfigSectionName(std::uint32_t configIndex) {
  char name[26];
  if (configIndex == 0) {
    std::snprintf(name, sizeof(name), "SimConnect");
  } else {
    std::snprintf(name, sizeof(name), "SimConnect.%u", static_cast<unsigned>(configIndex));
  }
  return name;
}

std::vector<std::string> ConfigFiles() {
  std::vector<std::string> files;
  for (platform::ConfigPlace place : platform::kConfigPlaceOrder) {
    std::string folder;
    std::string path;
    if (!platform::ConfigPlaceFolder(place, &folder)) continue;
    if (!platform::CombinePath(folder, kConfigFileName, &path)) continue;
    files.push_back(path);
  }
  return files;
}

bool ConfigSectionPresent(std::uint32_t configIndex, const std::vector<std::string>& files) {
  if (configIndex == 0 || configIndex == kConfigIndexDefaultsOnly) return true;
  const std::string section = ConfigSectionName(configIndex);
  for (const std::string& file : files) {
    char lines[kSectionProbeSize];
    if (platform::ReadProfileSection(file, section, lines, kSectionProbeSize) != 0) return true;
  }
  return false;
}

void ApplyConfigFile(const std::string& file, const std::string& section, LinkConfig& config) {
  char value[kValueBufferSize];

  if (ReadValue(file, section, "Protocol", value)) {
    if (platform::EqualNoCase(value, "Auto") || platform::EqualNoCase(value, "Pipe")) {
      config.protocol = LinkProtocol::Pipe;
    } else if (platform::EqualNoCase(value, "IPv4")) {
      config.protocol = LinkProtocol::IPv4;
      if (config.port.empty()) config.port = platform::ReadRegisteredPort(platform::AddressFamily::IPv4);
    } else if (platform::EqualNoCase(value, "IPv6")) {
      config.protocol = LinkProtocol::IPv6;
      if (config.port.empty()) config.port = platform::ReadRegisteredPort(platform::AddressFamily::IPv6);
    }
  }
  if (ReadValue(file, section, "Address", value)) config.address = value;
  if (ReadValue(file, section, "Port", value)) config.port = value;
  if (ReadValue(file, section, "MaxReceiveSize", value)) {
    // Compared unsigned: a negative number counts as a very large one.
    const auto size = static_cast<std::uint32_t>(ParseDecimal(value));
    if (size > config.maxReceiveSize) config.maxReceiveSize = size;
  }
  if (ReadValue(file, section, "DisableNagle", value)) config.disableNagle = ParseDecimal(value) != 0;
}

LinkConfig ReadLinkConfig(std::uint32_t configIndex, const std::vector<std::string>& files) {
  LinkConfig config;
  if (configIndex == kConfigIndexDefaultsOnly) return config;
  const std::string section = ConfigSectionName(configIndex);
  for (const std::string& file : files) ApplyConfigFile(file, section, config);
  return config;
}

}  // namespace simlink
