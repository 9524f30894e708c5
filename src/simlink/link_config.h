// The connection settings of one open: how the link reaches the simulator.
// They come from the "SimConnect.cfg" files of up to three places (the
// shared documents folder, the user's documents folder, the current
// directory), read in that order so that later files override earlier ones,
// with TCP ports the simulator registered filling in a missing port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simlink/cclient.h"

namespace simlink {

enum class LinkProtocol { Pipe, IPv4, IPv6 };

struct LinkConfig {
  LinkProtocol protocol = LinkProtocol::Pipe;     // the first transport to try
  std::string address;                            // empty: the local machine
  std::string port;                               // TCP port, or the pipe's own name
  std::uint32_t maxReceiveSize = kDefaultMaxReceiveSize;  // largest message accepted
  bool disableNagle = false;                      // TCP_NODELAY on TCP connections
};

inline constexpr char kConfigFileName[] = "SimConnect.cfg";

// Index that reads no file: the settings stay at their defaults.
inline constexpr std::uint32_t kConfigIndexDefaultsOnly = 0xFFFFFFFFu;

// The section an index names: "SimConnect" for 0, else "SimConnect.<index>".
std::string ConfigSectionName(std::uint32_t configIndex);

// The configuration file of each place that can be found, in reading order.
std::vector<std::string> ConfigFiles();

// False when an index from 1 to 0xFFFFFFFE names a section that holds no line
// in any of the files; indexes 0 and 0xFFFFFFFF always pass.
bool ConfigSectionPresent(std::uint32_t configIndex, const std::vector<std::string>& files);

// Reads one file's section over `config`: each key found replaces the field,
// except MaxReceiveSize, which only grows.
void ApplyConfigFile(const std::string& file, const std::string& section, LinkConfig& config);

// The settings for an index: the defaults, then every file in order.
LinkConfig ReadLinkConfig(std::uint32_t configIndex, const std::vector<std::string>& files);

}  // namespace simlink
