// The executable's folder (ModuleDirectory).
#include <winsock2.h>
#include <windows.h>

#include "platform/module_path.h"

namespace platform {

namespace {

std::string FolderOf(HMODULE module) {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, buffer, MAX_PATH);
  if (length == 0) return std::string();
  const std::string path(buffer, length < MAX_PATH ? length : MAX_PATH);
  const std::size_t slash = path.rfind('\\');  // only "\" counts as a separator
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1);
}

}  // namespace

std::string ModuleDirectory() {
  HMODULE module = GetModuleHandleA("Nimbra_Bridge.exe");
  if (module == nullptr) return std::string();
  return FolderOf(module);
}

std::string ExecutableDirectory() { return FolderOf(nullptr); }

}  // namespace platform
