// Registered ports written into the user's registry, where a simulator keeps them.
#include "platform/registry_ports_testing.h"

#include <windows.h>

namespace platform {

bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegisteredPortsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result;
  if (port) {
    result = RegSetValueExA(key, RegisteredPortName(family), 0, REG_SZ, reinterpret_cast<const BYTE*>(port->c_str()),
                            static_cast<DWORD>(port->size() + 1));
  } else {
    result = RegDeleteValueA(key, RegisteredPortName(family));
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace platform
