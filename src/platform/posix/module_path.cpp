// POSIX port of the executable's folder: the directory of /proc/self/exe.
#include "platform/module_path.h"

#include <unistd.h>

#include <string>
#include <vector>

namespace platform {

std::string ModuleDirectory() {
  // readlink does not say whether it cut the name short: grow the buffer until
  // the name fits with room to spare.
  std::vector<char> buffer(512);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return std::string();
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string path(buffer.data(), static_cast<std::size_t>(length));
      const std::size_t slash = path.rfind('/');
      if (slash == std::string::npos) return std::string();
      return path.substr(0, slash + 1);
    }
    if (buffer.size() >= (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableDirectory() { return ModuleDirectory(); }

}  // namespace platform
