// Configuration places on POSIX: /etc, the user's documents folder
// ($XDG_DOCUMENTS_DIR, else $HOME/Documents) and the current directory.
#include "platform/config_places.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

// An unset or empty variable counts as absent.
const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

bool CurrentDirectory(std::string* folder) {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) {
      *folder = buffer.data();
      return true;
    }
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return false;
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

namespace detail {

bool SystemConfigPlaceFolder(ConfigPlace place, std::string* folder) {
  switch (place) {
    case ConfigPlace::SharedDocuments:
      *folder = "/etc";
      return true;
    case ConfigPlace::UserDocuments:
      if (const char* documents = Variable("XDG_DOCUMENTS_DIR")) {
        *folder = documents;
        return true;
      }
      if (const char* home = Variable("HOME")) {
        *folder = std::string(home) + "/Documents";
        return true;
      }
      return false;
    case ConfigPlace::CurrentDirectory:
      return CurrentDirectory(folder);
  }
  return false;
}

}  // namespace detail

bool CombinePath(const std::string& folder, const std::string& file, std::string* path) {
  if (folder.empty()) {
    *path = file;
  } else if (folder.back() == '/') {
    *path = folder + file;
  } else {
    *path = folder + "/" + file;
  }
  return true;
}

}  // namespace platform
