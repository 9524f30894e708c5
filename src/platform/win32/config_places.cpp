// Configuration places on Windows: the shared and the user's documents
// folders, and the current directory.
#include "platform/config_places.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace platform {
namespace {

bool DocumentsFolder(int csidl, std::string* folder) {
  char buffer[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
  *folder = buffer;
  return true;
}

}  // namespace

namespace detail {

bool SystemConfigPlaceFolder(ConfigPlace place, std::string* folder) {
  switch (place) {
    case ConfigPlace::SharedDocuments:
      return DocumentsFolder(CSIDL_COMMON_DOCUMENTS, folder);
    case ConfigPlace::UserDocuments:
      return DocumentsFolder(CSIDL_PERSONAL, folder);
    case ConfigPlace::CurrentDirectory: {
      char buffer[260] = {};
      const DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
      // 0 is a failure; a length of the buffer size or more is the size it
      // would need, and the buffer then holds nothing usable.
      if (length == 0 || length >= sizeof(buffer)) return false;
      *folder = buffer;
      return true;
    }
  }
  return false;
}

}  // namespace detail

bool CombinePath(const std::string& folder, const std::string& file, std::string* path) {
  char buffer[MAX_PATH] = {};
  if (PathCombineA(buffer, folder.c_str(), file.c_str()) == nullptr) return false;
  *path = buffer;
  return true;
}

}  // namespace platform
