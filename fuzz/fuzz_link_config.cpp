// The link's configuration file: arbitrary bytes as a SimConnect.cfg, read
// with the INI rules by key and by section, and turned into the link's
// settings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_world.h"
#include "platform/profile_ini.h"
#include "simlink/link_config.h"

namespace {

using fuzzworld::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzworld::ScratchFile file("nimbra-fuzz-SimConnect.cfg");
  const std::string& path = file.Write(data, size);
  const std::vector<std::string> files{path};

  // A value fits its buffer, ends with its zero, and its length is the count.
  const std::uint32_t small = 1 + static_cast<std::uint32_t>(size % 17);
  for (const char* key : {"Port", "MaxReceiveSize"}) {
    for (std::uint32_t capacity : {small, 512u}) {
      std::vector<char> buffer(capacity + 1, '\x7f');
      const std::uint32_t n = platform::ReadProfileString(path, "SimConnect", key, buffer.data(), capacity);
      Require(n < capacity && buffer[n] == '\0' && std::strlen(buffer.data()) == n && buffer[capacity] == '\x7f');
    }
  }
  // A section is lines each ending with a zero, and one more zero at the end.
  for (std::uint32_t capacity : {small + 1, 4096u}) {
    std::vector<char> buffer(capacity + 1, '\x7f');
    const std::uint32_t n = platform::ReadProfileSection(path, "SimConnect.1", buffer.data(), capacity);
    Require(n < capacity && buffer[n] == '\0' && buffer[capacity] == '\x7f');
    // Untruncated, the last line's own zero comes just before the final one.
    if (n > 0 && n != capacity - 2) Require(buffer[n - 1] == '\0');
  }
  simlink::ConfigSectionPresent(1, files);
  const simlink::LinkConfig config = simlink::ReadLinkConfig(0, files);
  Require(config.maxReceiveSize >= simlink::kDefaultMaxReceiveSize);
  return 0;
}
