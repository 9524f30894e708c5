// Registered ports: the values SimConnect_Port_IPv4 and SimConnect_Port_IPv6
// under HKEY_CURRENT_USER\SOFTWARE\Microsoft\Microsoft Games\KittyHawk.
#include "platform/registry_ports.h"

#include <windows.h>

namespace platform {
namespace {

constexpr const char* kPortsKey = "SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk";

const char* ValueName(AddressFamily family) {
  return family == AddressFamily::IPv4 ? "SimConnect_Port_IPv4" : "SimConnect_Port_IPv6";
}

}  // namespace

std::string ReadRegisteredPort(AddressFamily family) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPortsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  // One byte more than is asked for stays zero, so the text always ends even
  // when the stored value carries no terminator.
  char data[kRegisteredPortBytes + 1] = {};
  DWORD length = kRegisteredPortBytes;
  const LONG result =
      RegQueryValueExA(key, ValueName(family), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &length);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return {};
  return data;
}

bool WriteRegisteredPort(AddressFamily family, const std::optional<std::string>& port) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kPortsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result;
  if (port) {
    result = RegSetValueExA(key, ValueName(family), 0, REG_SZ, reinterpret_cast<const BYTE*>(port->c_str()),
                            static_cast<DWORD>(port->size() + 1));
  } else {
    result = RegDeleteValueA(key, ValueName(family));
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace platform
